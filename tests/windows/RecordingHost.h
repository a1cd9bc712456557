#pragma once

#include "platform/Host.h"

#include <QString>

#include <vector>

namespace wk::testing {

/// Records what the program hands to the host system instead of opening anything.
class RecordingHost : public platform::Host {
public:
    struct Opened {
        QString address;
        platform::ShowMode mode;
    };
    struct HelpCall {
        QWidget* owner;
        QString file;
        unsigned command;
        quintptr data;
    };

    bool openAddress(const QString& address, platform::ShowMode mode) override {
        opened.push_back({address, mode});
        return opens;
    }
    void htmlHelp(QWidget* owner, const QString& file, unsigned command, quintptr data) override {
        help.push_back({owner, file, command, data});
    }
    void beep() override { ++beeps; }

    std::vector<Opened> opened;
    /// What the system says when handed an address: false as when no program for it starts.
    bool opens = true;
    std::vector<HelpCall> help;
    int beeps = 0;
};

/// Installs a fresh recorder and returns it.
inline RecordingHost& installRecorder() {
    return static_cast<RecordingHost&>(platform::setHost(std::make_unique<RecordingHost>()));
}

} // namespace wk::testing
