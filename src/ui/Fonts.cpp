#include "ui/Fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace wk::ui {
namespace {

QString firstInstalled(std::initializer_list<const char*> families) {
    const QStringList installed = QFontDatabase::families();
    for (const char* f : families)
        if (installed.contains(QString::fromLatin1(f), Qt::CaseInsensitive))
            return QString::fromLatin1(f);
    return QString::fromLatin1(*families.begin());
}

QFont make(const QString& family, int pixelSize, bool bold) {
    QFont f(family);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

} // namespace

QFont defaultFont() {
    return defaultFont(11, false);
}

QFont defaultFont(int pixelSize, bool bold) {
    static const QString family = firstInstalled({"MS Sans Serif", "Liberation Sans", "Arial"});
    return make(family, pixelSize, bold);
}

QFont arialFont(int pixelSize, bool bold) {
    static const QString family = firstInstalled({"Arial", "Liberation Sans"});
    return make(family, pixelSize, bold);
}

} // namespace wk::ui
