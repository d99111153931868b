// Error: the one exception type of the framework and the module. Its text is what the
// cashier (or the host's maintainer) reads, so it is written in Portuguese and names the
// thing that went wrong (the field, the file, the offset).
#pragma once

#include <QString>
#include <new>
#include <stdexcept>

namespace fw {

class Error : public std::runtime_error {
 public:
  explicit Error(const QString& message)
      : std::runtime_error(message.toStdString()), message_(message) {}
  const QString& message() const { return message_; }

 private:
  QString message_;
};

// The text of any error: an Error's own message, else what() in the local encoding; the
// library's own out-of-memory text is English, so it is said here.
inline QString messageOf(const std::exception& e) {
  if (const auto* own = dynamic_cast<const Error*>(&e)) return own->message();
  if (dynamic_cast<const std::bad_alloc*>(&e))
    return QStringLiteral(
        "Memória insuficiente: o arquivo ou a tabela é grande demais para a "
        "memória livre deste computador.");
  return QString::fromLocal8Bit(e.what());
}

}  // namespace fw
