#include "windows/RefusedDescription.h"

#include "ui/ErrorHandler.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

namespace wk {
namespace {

// A description as it stands in a box: an empty one is named, so that it is not taken for a
// missing line.
QString shown(const QString& description) {
    return description.trimmed().isEmpty() ? QStringLiteral("(no description)") : description;
}

} // namespace

RefusalChoice askKeepMineOrTakeTheirs(QWidget* over, const QString& theirs, const QString& mine) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Wikabay"),
                    QStringLiteral("Another program changed this description while you were "
                                   "editing it. Yours was not stored.\n\nStored by the other "
                                   "program:\n%1\n\nYours:\n%2\n\nKeep yours, or take theirs?")
                        .arg(shown(theirs), shown(mine)),
                    QMessageBox::NoButton, over);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPushButton* keepMine = box.addButton(QStringLiteral("Keep &mine"), QMessageBox::AcceptRole);
    QPushButton* takeTheirs =
        box.addButton(QStringLiteral("Take &theirs"), QMessageBox::DestructiveRole);
    QPushButton* keepEditing =
        box.addButton(QStringLiteral("Keep &editing"), QMessageBox::RejectRole);
    box.setDefaultButton(keepEditing);
    box.setEscapeButton(keepEditing);
    box.exec();
    if (box.clickedButton() == keepMine)
        return RefusalChoice::KeepMine;
    if (box.clickedButton() == takeTheirs)
        return RefusalChoice::TakeTheirs;
    return RefusalChoice::KeepEditing;
}

void offerForCopying(QWidget* over, const QString& why, const QString& mine) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Wikabay"),
                    QStringLiteral("%1\n\nYour description, which was not stored:\n%2")
                        .arg(ui::errors::withFullStop(why), shown(mine)),
                    QMessageBox::NoButton, over);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPushButton* copy = box.addButton(QStringLiteral("&Copy and close"), QMessageBox::AcceptRole);
    QPushButton* close = box.addButton(QMessageBox::Close);
    box.setDefaultButton(copy);
    box.setEscapeButton(close);
    box.exec();
    if (box.clickedButton() == copy)
        QGuiApplication::clipboard()->setText(mine);
}

} // namespace wk
