// The user's home directory and the installation root, read from Qt and the
// environment on every call; nothing is kept.
#include <cstdlib>
#include <string>

#include <QByteArray>
#include <QDir>
#include <QString>

#include "errors/internal/boundary.hpp"
#include "pelmoravine_path.hpp"

namespace pelmoravine::path {

std::string home() {
  try {
    return QDir::homePath().toUtf8().toStdString();
  } catch (...) {
    hestrel::note_allocation_failure();
    return std::string();
  }
}

std::string pelmoravine_dir() {
  try {
    const char *root = std::getenv("PELMORAVINE");
    if (!root) return std::string();
    return QString::fromLocal8Bit(root).toUtf8().toStdString();
  } catch (...) {
    hestrel::note_allocation_failure();
    return std::string();
  }
}

}  // namespace pelmoravine::path
