#include "window/qt/ZeloApplication.h"
#include "window/Catalogue.h"
#include "window/qt/QtDialogs.h"

#include <QLibraryInfo>

namespace zelo {

ZeloApplication::ZeloApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The name, not the display name: a display name would be appended to every window caption.
    setApplicationName(QString::fromLatin1(ApplicationTitle));
    ChooseLanguage();
}

void ZeloApplication::ChooseLanguage() {
    ChooseLanguageFromEnvironment();
    removeTranslator(&QtTexts);
    // Qt's translations are a recommended package: without them Qt's own buttons stay English.
    if (CurrentLanguage() == Language::German &&
        QtTexts.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(&QtTexts);
}

ZeloApplication* ZeloApplication::Instance() {
    return dynamic_cast<ZeloApplication*>(QCoreApplication::instance());
}

void ZeloApplication::ShowCurrentException() {
    static QtDialogs fallback;
    zelo::ShowCurrentException(Boxes ? *Boxes : fallback);
}

bool ZeloApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException();
    }
    return false;
}

} // namespace zelo
