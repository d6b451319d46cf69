// The program directory, paths and whole-file helpers.
#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
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

// Writes all bytes to a file opened with `mode`; false on any failure.
bool WriteAll(const std::string& path, const std::string& bytes, QIODevice::OpenMode mode) {
    QFile file(ToQt(path));
    if (!file.open(mode)) return false;
    const qint64 written = file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    const bool flushed = file.flush();
    file.close();
    return written == static_cast<qint64>(bytes.size()) && flushed &&
           file.error() == QFileDevice::NoError;
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
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toUtf8().toStdString();
}

void SetProjectDir(const std::string& directory) { projectDirOverride = directory; }

// Named after the window program whichever program asks, as tavrix-cli reads the window's.
std::string UserConfigDir() {
    const QString userDir = QDir(UserConfigBase()).filePath(kWindowProgram);
    return QDir::toNativeSeparators(userDir).toUtf8().toStdString();
}

std::string ConfigDirOf(const std::string& programDir) {
    return QFileInfo(ToQt(programDir)).isWritable() ? programDir : UserConfigDir();
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

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    return WriteAll(path, bytes, QIODevice::WriteOnly | QIODevice::Truncate);
}

bool AppendFileBytes(const std::string& path, const std::string& bytes) {
    return WriteAll(path, bytes, QIODevice::WriteOnly | QIODevice::Append);
}

bool DeleteFile(const std::string& path) { return QFile::remove(ToQt(path)); }

}   // namespace platform
