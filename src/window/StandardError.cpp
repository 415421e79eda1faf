#include "window/StandardError.h"
#include "window/Catalogue.h"
#include "window/Controls.h"

#include <exception>

namespace zelo {

std::string StandardErrorText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        return message + ".";
    return message;
}

void ShowStandardError(Dialogs& dialogs, const std::string& message) {
    dialogs.MessageBox(StandardErrorText(TrMessage(message)), ApplicationTitle, box::Ok | box::IconError);
}

int WindowBox(Dialogs& dialogs, const IForm& form, const std::string& text, int flags,
              const std::string& detail) {
    return dialogs.MessageBox(text, form.Caption(), flags, detail);
}

void ShowCurrentException(Dialogs& dialogs) {
    try {
        throw;
    } catch (const std::exception& error) {
        ShowStandardError(dialogs, error.what());
    } catch (...) {
        ShowStandardError(dialogs, {});
    }
}

} // namespace zelo
