#pragma once
// What the simulator needs from the operating system: pseudo-terminals and the requests to
// end (Ctrl+C, SIGTERM or WM_CLOSE). One file a system implements them (system_posix.cpp,
// system_windows.cpp); Windows has no pseudo-terminals, so there OpenTerminal always fails
// and the simulator serves TCP only.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

class QCoreApplication;

namespace sim {

// Both ends of an open pseudo-terminal: the simulator reads and writes the master; the
// slave, set raw at 19200 baud, is the device the program opens (path).
struct Terminal {
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};

// Opens a new pseudo-terminal with a non-blocking master; false with the reason in `error`.
bool OpenTerminal(Terminal& terminal, QString& error);
// Points the symbolic link linkPath at the terminal's device (replacing an older link).
bool LinkTerminal(const Terminal& terminal, const QString& linkPath, QString& error);
void CloseTerminal(Terminal& terminal);
// Reads what is waiting on the master: the byte count, 0 when nothing is waiting, -1 when
// the terminal can no longer be read.
long long ReadTerminal(const Terminal& terminal, uint8_t* buffer, std::size_t size);
// Writes to the master; bytes the terminal cannot take are lost, as on a line.
void WriteTerminal(const Terminal& terminal, const QByteArray& bytes);

// Makes the requests to end quit the application's event loop, so the program ends as cleanly
// as on a normal return: Ctrl+C, and SIGTERM (POSIX) or WM_CLOSE to the main thread (Windows).
void QuitOnTerminate(QCoreApplication& app);

}   // namespace sim
