// A private data folder, configuration folder and settings file for a main window under test, and
// the window's options pointing at them (the source tree's data, no desktop bus, a tray). The
// environment is restored when the object goes.
#pragma once

#include "app/MainWnd.h"

#include <QTemporaryDir>

#include <cstdlib>

namespace nk7x::test {

class PrivateWindowFolders {
  public:
    PrivateWindowFolders() {
        ::setenv("XDG_DATA_HOME", m_dir.filePath("data").toLocal8Bit().constData(), 1);
        ::setenv("XDG_CONFIG_HOME", m_dir.filePath("config").toLocal8Bit().constData(), 1);
        m_options.programFolder = QStringLiteral(NK7X_SOURCE_DIR);
        m_options.settingsPath = m_dir.filePath("settings.ini");
        m_options.useBuses = false;
        m_options.tray = ShellOptions::Tray::Present;
    }
    ~PrivateWindowFolders() {
        ::unsetenv("XDG_DATA_HOME");
        ::unsetenv("XDG_CONFIG_HOME");
    }
    PrivateWindowFolders(const PrivateWindowFolders&) = delete;
    PrivateWindowFolders& operator=(const PrivateWindowFolders&) = delete;

    bool IsValid() const { return m_dir.isValid(); }
    QString FilePath(const QString& name) const { return m_dir.filePath(name); }
    const ShellOptions& Options() const { return m_options; }

  private:
    QTemporaryDir m_dir;
    ShellOptions m_options;
};

} // namespace nk7x::test
