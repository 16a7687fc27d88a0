/* The mark of every name the shared library offers: HESTREL_API stands at
 * each exported declaration; the library is built with hidden visibility. */
#ifndef HESTREL_EXPORT_H
#define HESTREL_EXPORT_H

#if defined(__GNUC__)
#define HESTREL_API __attribute__((visibility("default")))
#else
#define HESTREL_API
#endif

#endif
