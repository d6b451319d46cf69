// The program directory, paths and whole-file helpers.
#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <filesystem>
#include <system_error>

namespace platform {
namespace {

std::string projectDirOverride;   // set by tests; empty: the executable's directory

QString ToQt(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::filesystem::path ToPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string ToNative(const QString& path) {
    return QDir::toNativeSeparators(path).toUtf8().toStdString();
}

std::string lastFileFailure;   // the system's reason of the last file operation that failed

// Windows' reasons end in a full stop, POSIX ones do not; the messages that quote a reason
// add their own, so it is kept without one.
bool Failed(const QFileDevice& file) {
    QString reason = file.errorString();
    if (reason.endsWith('.')) reason.chop(1);
    lastFileFailure = reason.toStdString();
    return false;
}

// Writes all bytes to an open file. A short write is tried again for the rest, so that a
// failure ends with the system's reason on the file.
bool WriteWhole(QFileDevice& file, const std::string& bytes) {
    qint64 done = 0;
    const qint64 size = static_cast<qint64>(bytes.size());
    while (done < size) {
        const qint64 written = file.write(bytes.data() + done, size - done);
        if (written <= 0) return false;
        done += written;
    }
    return true;
}

// Whether a file can be created in `folder`, found by creating one (removed again at once):
// permission bits do not tell, not on Windows, not for an administrator, not on a file
// system that refuses new files.
bool CanCreateIn(const std::string& folder) {
    QTemporaryFile probe(ToQt(JoinPath(folder, "tavrix-XXXXXX.tmp")));
    return probe.open();
}

// A device or a pipe named as the target (/dev/stdout, say) is written where it is: it cannot be
// replaced by a new file, and must not be.
bool WriteInPlace(const QString& path, const std::string& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return Failed(file);
    return WriteWhole(file, bytes) || Failed(file);
}

// Windows programs keep their settings in the roaming profile (%APPDATA%), which follows the
// user from PC to PC; elsewhere the configuration folder (~/.config).
QString UserConfigBase() {
#ifdef Q_OS_WIN
    return qEnvironmentVariable("APPDATA");
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
#endif
}

}   // namespace

std::string GetProjectDir() {
    if (!projectDirOverride.empty()) return projectDirOverride;
    return ToNative(QCoreApplication::applicationDirPath());
}

void SetProjectDir(const std::string& directory) { projectDirOverride = directory; }

// Named after the window program whichever program asks, as tavrix-cli reads the window's.
std::string UserConfigDir() { return ToNative(QDir(UserConfigBase()).filePath(kWindowProgram)); }

std::string GetDialogDir() {
    const std::string programDir = GetProjectDir();
    if (CanCreateIn(programDir)) return programDir;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) return ToNative(documents);
    return ToNative(QDir::homePath());
}

std::string ConfigDirOf(const std::string& programDir) {
    return CanCreateIn(programDir) ? programDir : UserConfigDir();
}

std::string GetConfigDir() {
    const std::string configDir = ConfigDirOf(GetProjectDir());
    QDir().mkpath(ToQt(configDir));
    return configDir;
}

bool HasProgram(const std::string& directory, const std::string& name) {
    return !QStandardPaths::findExecutable(ToQt(name), {ToQt(directory)}).isEmpty();
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    const char separator = QDir::separator().toLatin1();
    const char last = directory.back();
    if (last == separator || last == '/') return directory + name;
    return directory + separator + name;
}

int GetFileInfo(const std::string& path, long long& size) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(ToPath(path), error);
    if (status.type() == std::filesystem::file_type::not_found) return 0;
    if (error) return -1;
    size = 0;
    if (std::filesystem::is_regular_file(status)) {
        const auto bytes = std::filesystem::file_size(ToPath(path), error);
        if (error) return -1;
        size = static_cast<long long>(bytes);
    }
    return 1;
}

bool ReadFileBytes(const std::string& path, std::string& bytes, long long maxBytes) {
    QFile file(ToQt(path));
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray content = maxBytes >= 0 ? file.read(maxBytes) : file.readAll();
    if (file.error() != QFileDevice::NoError) return false;
    bytes.assign(content.constData(), static_cast<std::size_t>(content.size()));
    return true;
}

// The bytes go to a new file beside the old one, which then takes its name: a failure leaves the
// old file whole. Where no file can be made beside it (a folder the user may not write, holding
// a file the user may), the file is written where it is, as before. Unbuffered, so that every
// write's count is the system's.
bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    const QString name = ToQt(path);
    const QFileInfo target(name);
    if (target.exists() && !target.isFile()) return WriteInPlace(name, bytes);
    QSaveFile file(name);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return Failed(file);
    if (!WriteWhole(file, bytes)) return Failed(file);   // the new file is dropped, not saved
    return file.commit() || Failed(file);
}

bool AppendFileBytes(const std::string& path, const std::string& bytes) {
    QFile file(ToQt(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return Failed(file);
    const qint64 end = file.size();
    if (WriteWhole(file, bytes)) return true;
    Failed(file);
    file.resize(end);
    return false;
}

bool CanAppendTo(const std::string& path) {
    QFile file(ToQt(path));
    const bool existed = file.exists();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return Failed(file);
    file.close();
    if (!existed) file.remove();
    return true;
}

std::string LastFileFailureReason() { return lastFileFailure; }

bool DeleteFile(const std::string& path) { return QFile::remove(ToQt(path)); }

}   // namespace platform
