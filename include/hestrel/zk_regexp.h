/* The library's small backtracking regular-expression engine: a pattern is
 * compiled into one heap block (zk_regcomp) and run against subjects (zk_regexec). */
#ifndef HESTREL_ZK_REGEXP_H
#define HESTREL_ZK_REGEXP_H

#include "hestrel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Entry 0 of the match arrays is the whole match, 1 to 9 the groups. */
#define ZK_NSUBEXP 10

/* First program byte of every compiled expression. */
#define RX_MAGIC 0x9C

/* Node opcodes. Every node is the opcode byte, a big-endian 16-bit offset to
 * its successor (backward for RX_LOOP, 0 for none), then its operand. */
#define RX_END 0        /* end of the program: the match succeeds */
#define RX_LINE_START 1 /* empty, only at the start of the subject */
#define RX_LINE_END 2   /* empty, only at the end of the subject */
#define RX_ANY 3        /* any one character */
#define RX_ANY_OF 4     /* one character of the NUL-ended set that follows */
#define RX_ANY_BUT 5    /* one character not in the NUL-ended set */
#define RX_ALT 6        /* one alternative; its chain follows the node */
#define RX_LOOP 7       /* empty; its successor lies before it */
#define RX_LITERAL 8    /* the NUL-ended string that follows */
#define RX_EMPTY 9      /* empty */
#define RX_STAR 10      /* zero or more of the simple node that follows */
#define RX_PLUS 11      /* one or more of the simple node that follows */
#define RX_OPEN 20      /* RX_OPEN + n (n 1 to 9): start of group n */
#define RX_CLOSE 30     /* RX_CLOSE + n: end of group n */

/* A compiled expression: one malloc block, released by its holder with free. */
typedef struct zk_regexp {
  /* After a successful zk_regexec: where the match (entry 0) and groups 1 to
   * 9 start and end in that call's subject; NULL for a group not taken. */
  char *match_start[ZK_NSUBEXP];
  char *match_end[ZK_NSUBEXP];
  char first_char;         /* when not NUL, every match begins with it */
  char anchored;           /* 1 when every match begins at the start of the subject */
  char *required;          /* NULL, or a literal every match contains (in program) */
  int required_len;        /* length of required, 0 when there is none */
  unsigned char program[]; /* RX_MAGIC, then the nodes */
} zk_regexp;

/* Compiles a NUL-ended pattern. Returns a new block the caller frees with
 * free, or NULL after a FATAL report on handle -1. Not thread-safe. */
HESTREL_API zk_regexp *zk_regcomp(const char *pattern);

/* Returns 1 when the expression matches somewhere in the NUL-ended subject
 * (filling the match fields), 0 when not or when the arguments are unusable
 * (NULL, corrupt program: reported at FATAL on handle -1). The search keeps
 * its choice points on the heap, never deep on the caller's stack, and stops
 * when they would take more than 32 MiB (some hundred thousand nested group
 * iterations or alternatives, far beyond file names and tokens): it then
 * reports "recursion too deep" at FATAL on handle -1 and returns 0, which
 * means "not decided", not "no match". One call at a time per expression. */
HESTREL_API int zk_regexec(zk_regexp *expression, const char *subject);

#ifdef __cplusplus
}
#endif

#endif
