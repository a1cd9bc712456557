#include "platform/WebAddress.h"

#include <QLocale>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTextBoundaryFinder>
#include <QUrl>

#include <algorithm>

namespace wk::platform {
namespace {

/// Percent-decodes `text` until nothing is left to decode, so that "%2561" counts as "a" too.
QString fullyDecoded(const QString& text) {
    QString decoded = text;
    // Each round that changes something makes the text shorter; the bound only guards that.
    for (int round = 0; round < 16; ++round) {
        QString next = QUrl::fromPercentEncoding(decoded.toUtf8());
        if (next == decoded)
            break;
        decoded = std::move(next);
    }
    return decoded;
}

/// The host named by a web address whose authority starts at `from` (after "//"): what lies
/// before the path, the query or the fragment, less the user's name and the port, decoded.
QString hostPart(const QString& address, qsizetype from) {
    qsizetype end = from;
    while (end < address.size() && !QStringView(u"/?#").contains(address[end]))
        ++end;
    QStringView host = QStringView(address).sliced(from, end - from);
    if (const qsizetype at = host.lastIndexOf(u'@'); at >= 0)
        host = host.sliced(at + 1);
    if (host.startsWith(u'[')) { // an IPv6 address: its colons are not the port's
        if (const qsizetype close = host.indexOf(u']'); close >= 0)
            host = host.first(close + 1);
    } else if (const qsizetype colon = host.indexOf(u':'); colon >= 0) {
        host = host.first(colon);
    }
    return fullyDecoded(host.toString());
}

/// Whether a host name, or a part of it between dots, begins with "-": no real host name does,
/// and what is handed on may be read as an option ("http://-e").
bool hasHyphenedPart(const QString& host) {
    const QList<QStringView> parts = QStringView(host).split(u'.');
    return std::any_of(parts.begin(), parts.end(),
                       [](QStringView part) { return part.startsWith(u'-'); });
}

/// Whether a "mailto:" address asks for a field whose name begins with "attach" ("attach",
/// "attachment"), which some mail programs take as a file to attach. The address is decoded
/// first, and every "?", "&" and ";" after the first "?" counts as the start of a field, so that
/// no spelling a mail program might accept slips through.
bool asksForAttachment(const QString& mailAddress) {
    const QString decoded = fullyDecoded(mailAddress);
    const qsizetype query = decoded.indexOf(u'?');
    if (query < 0)
        return false;
    static const QRegularExpression fieldStart(QStringLiteral("[&;?]"));
    const QStringList fields = decoded.sliced(query + 1).split(fieldStart);
    return std::any_of(fields.begin(), fields.end(), [](const QString& field) {
        const qsizetype equals = field.indexOf(u'=');
        const QStringView name = equals < 0 ? QStringView(field) : QStringView(field).first(equals);
        return name.trimmed().startsWith(u"attach", Qt::CaseInsensitive);
    });
}

/// `text` with an invisible break opportunity (a zero-width space) put into every stretch of
/// more than `longest` characters in which a line may not be broken, so that a long address
/// without spaces wraps in a message box instead of being cut off at its edge.
QString breakable(const QString& text, qsizetype longest = 32) {
    QTextBoundaryFinder lines(QTextBoundaryFinder::Line, text);
    QString out;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = lines.toNextBoundary();
        if (end < 0)
            end = text.size();
        for (qsizetype at = start; at < end;) {
            qsizetype stop = std::min(at + longest, end);
            if (stop < end && text[stop - 1].isHighSurrogate()) // a pair of surrogates stays whole
                ++stop;
            if (at > start)
                out += QChar(0x200B);
            out += QStringView(text).sliced(at, stop - at);
            at = stop;
        }
        start = end;
    }
    return out;
}

void tell(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, QStringLiteral("Wikabay"), breakable(text), QMessageBox::Ok, parent);
    // An address is shown as it is written, never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace

CheckedAddress checkWebAddress(const QString& stored) {
    const auto refused = [](AddressRefusal why) { return CheckedAddress{QString(), why}; };
    if (stored.size() > kLongestWebAddress)
        return refused(AddressRefusal::TooLong);
    if (std::any_of(stored.begin(), stored.end(),
                    [](QChar c) { return c.category() == QChar::Other_Control; }))
        return refused(AddressRefusal::ControlCharacter);

    QString address;
    qsizetype hostFrom = -1; // where a web address's host starts; -1 for a mail address
    for (const char* prefix : {"http://", "https://", "ftp://"})
        if (stored.startsWith(QLatin1String(prefix), Qt::CaseInsensitive)) {
            address = stored;
            hostFrom = qsizetype(qstrlen(prefix));
        }
    if (stored.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive) && stored.size() > 7)
        address = stored;
    if (stored.startsWith(QLatin1String("www."), Qt::CaseInsensitive) && stored.size() > 4) {
        address = QStringLiteral("http://") + stored;
        hostFrom = 7;
    }
    if (address.isEmpty())
        return refused(AddressRefusal::NotWebAddress);

    if (hostFrom >= 0) {
        const QString host = hostPart(address, hostFrom);
        if (host.isEmpty())
            return refused(AddressRefusal::NoHostName);
        if (hasHyphenedPart(host))
            return refused(AddressRefusal::HyphenInHost);
    }
    // The desktop host reads the address the same way.
    const QUrl url(address, QUrl::TolerantMode);
    if (!url.isValid())
        return refused(AddressRefusal::Unreadable);
    if (hostFrom >= 0 && url.host().isEmpty())
        return refused(AddressRefusal::NoHostName);
    if (hostFrom < 0 && asksForAttachment(address))
        return refused(AddressRefusal::MailAttachment);
    return {address, std::nullopt};
}

std::optional<QString> webAddressToOpen(const QString& stored) {
    CheckedAddress checked = checkWebAddress(stored);
    if (checked.refusal)
        return std::nullopt;
    return std::move(checked.address);
}

QString addressForMessage(const QString& address) {
    if (address.size() <= kAddressShownInMessages)
        return address;
    qsizetype size = kAddressShownInMessages;
    if (address[size - 1].isHighSurrogate()) // a pair of surrogates stays whole
        --size;
    return address.first(size) + QChar(0x2026);
}

QString refusalMessage(const QString& stored, AddressRefusal why) {
    const QString shown = addressForMessage(stored);
    const QLocale english(QLocale::English);
    switch (why) {
    case AddressRefusal::NotWebAddress:
        break;
    case AddressRefusal::ControlCharacter:
        return QStringLiteral("The address \"%1\" holds a control character (a line break or a "
                              "tab, for instance), so it is not a web address and was not opened.")
            .arg(shown);
    case AddressRefusal::TooLong:
        return QStringLiteral("The address \"%1\" is %2 characters long, more than the %3 a web "
                              "address may have, so it was not opened.")
            .arg(shown, english.toString(stored.size()), english.toString(kLongestWebAddress));
    case AddressRefusal::NoHostName:
        return QStringLiteral("The address \"%1\" has no host name, so it was not opened.")
            .arg(shown);
    case AddressRefusal::HyphenInHost:
        return QStringLiteral("The host name in the address \"%1\" begins with a hyphen (\"-\"), "
                              "at its start or after a dot, which no real host name does, so the "
                              "address was not opened.")
            .arg(shown);
    case AddressRefusal::Unreadable:
        return QStringLiteral("The address \"%1\" is not written as a valid address, so it was "
                              "not opened.")
            .arg(shown);
    case AddressRefusal::MailAttachment:
        return QStringLiteral("The mail address \"%1\" asks the mail program to attach a file to "
                              "the message, so it was not opened.")
            .arg(shown);
    }
    return QStringLiteral("The address \"%1\" is not a web address (http://, https://, ftp:// or "
                          "www.) or a mail address (mailto:), so it was not opened.")
        .arg(shown);
}

QString openFailureMessage(const QString& address) {
    return QStringLiteral("The address \"%1\" could not be opened: the program that opens such "
                          "addresses is missing or failed to start.")
        .arg(addressForMessage(address));
}

bool openWebAddress(QWidget* parent, const QString& stored, ShowMode mode) {
    const CheckedAddress checked = checkWebAddress(stored);
    if (checked.refusal) {
        tell(parent, QMessageBox::Information, refusalMessage(stored, *checked.refusal));
        return false;
    }
    if (!host().openAddress(checked.address, mode)) {
        tell(parent, QMessageBox::Warning, openFailureMessage(checked.address));
        return false;
    }
    return true;
}

} // namespace wk::platform
