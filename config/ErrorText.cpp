#include "config/ErrorText.h"

#include "platform/errors.h"

namespace kalvorin::config {

std::string error_text(const std::exception& error) {
    const auto* file_error = dynamic_cast<const EInOutError*>(&error);
    if (file_error == nullptr || file_error->path().empty()) return error.what();
    return std::string(error.what()) + ": " + file_error->path();
}

}  // namespace kalvorin::config
