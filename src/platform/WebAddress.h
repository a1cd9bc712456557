#pragma once

#include "platform/Host.h"

#include <QString>

#include <optional>

class QWidget;

namespace wk::platform {

/// The longest address, in characters as stored, that is handed to the system.
inline constexpr qsizetype kLongestWebAddress = 2048;

/// How many characters of an address a message names; a longer one is cut there, then "…".
inline constexpr qsizetype kAddressShownInMessages = 200;

/// Why an address is not handed to the system.
enum class AddressRefusal {
    NotWebAddress,    ///< not a web or mail address
    ControlCharacter, ///< holds a control character (a line break, a tab, ...)
    TooLong,          ///< longer than kLongestWebAddress
    NoHostName,       ///< a web address naming no host ("http://", "https://?x")
    HyphenInHost,     ///< a host name, or a part of one between dots, begins with "-"
    Unreadable,       ///< the URL parser cannot read it
    MailAttachment    ///< a mail address asking for a file to be attached ("?attach=...")
};

/// A stored address checked: what to hand to the system, or why it is refused.
struct CheckedAddress {
    QString address;                       ///< what to hand over; empty when refused
    std::optional<AddressRefusal> refusal; ///< why it is refused; nothing when accepted
};

/// Checks a stored website or mail address. Accepted are addresses beginning with "http://",
/// "https://", "ftp://" or "mailto:" (any letter case), handed over as they are, and addresses
/// beginning with "www.", which get "http://" in front; and of these only the ones the URL parser
/// (in tolerant mode, as the desktop host reads them) can read, no longer than
/// kLongestWebAddress, whose host name (web addresses) is there and has no part beginning with
/// "-", and which (mail addresses) ask for no field whose name begins with "attach" ("attach",
/// "attachment"), in any letter case, percent-encoded or not. Anything else (a local path, a
/// program, "file:" or another scheme) and any address holding a control character is refused.
CheckedAddress checkWebAddress(const QString& stored);

/// The address to hand to the system for a stored address, or nothing when checkWebAddress
/// refuses it.
std::optional<QString> webAddressToOpen(const QString& stored);

/// `address` as a message names it: the whole of it, or its first kAddressShownInMessages
/// characters followed by "…".
QString addressForMessage(const QString& address);

/// The text of the box telling that `stored` was not opened, and why.
QString refusalMessage(const QString& stored, AddressRefusal why);

/// The text of the box telling that the system could not open `address`.
QString openFailureMessage(const QString& address);

/// Checks `stored` with checkWebAddress and hands what is accepted to the host. A refused
/// address gets an information box, and one the host could not open a warning box, both titled
/// "Wikabay" and shown over `parent`, their text plain (never markup) and with invisible break
/// opportunities in long stretches that have none, so that a box always fits on the screen.
/// Returns whether the host opened the address.
bool openWebAddress(QWidget* parent, const QString& stored, ShowMode mode);

} // namespace wk::platform
