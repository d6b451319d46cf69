// Modal pop-ups behind one seam: every box is recorded, and an installed handler answers it
// instead of the user.
#include "platform/platform.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace platform {
namespace {

PopupHandler popupHandler;
std::vector<PopupRecord> popupLog;

QString ToQt(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Shows a message or a question as plain text exactly as given (line breaks, blanks).
int ShowMessageBox(const PopupRecord& record, QMessageBox::StandardButtons buttons) {
    QMessageBox box(QMessageBox::NoIcon, ToQt(record.title), ToQt(record.text), buttons,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    return box.exec();
}

}   // namespace

void SetPopupHandler(PopupHandler handler) { popupHandler = std::move(handler); }

const std::vector<PopupRecord>& PopupLog() { return popupLog; }

void ClearPopupLog() { popupLog.clear(); }

int MessagePopup(const std::string& title, const std::string& text) {
    const PopupRecord record{PopupRecord::Message, title, text};
    popupLog.push_back(record);
    if (popupHandler) {
        std::string unusedPath;
        popupHandler(record, unusedPath);
        return 0;
    }
    ShowMessageBox(record, QMessageBox::Ok);
    return 0;
}

int ConfirmPopup(const std::string& title, const std::string& text) {
    const PopupRecord record{PopupRecord::Confirm, title, text};
    popupLog.push_back(record);
    if (popupHandler) {
        std::string unusedPath;
        return popupHandler(record, unusedPath) != 0 ? 1 : 0;
    }
    return ShowMessageBox(record, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes ? 1 : 0;
}

int FileSelectPopup(const std::string& directory, const std::string& defaultName,
                    const std::string& filter, const std::string& title, std::string& path) {
    const PopupRecord record{PopupRecord::FileSelect, title, defaultName};
    popupLog.push_back(record);
    if (popupHandler) return popupHandler(record, path);

    // A save-style dialog that takes an existing file without asking: the caller decides
    // whether to append to it or to replace it. It serves loading as well as saving, so its
    // accept button reads a plain "OK" (Qt's own dialog: a native one keeps its own label).
    QFileDialog dialog(QApplication::activeWindow(), ToQt(title), ToQt(directory), ToQt(filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("OK"));
    dialog.selectFile(ToQt(defaultName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return 0;
    const QString chosen = dialog.selectedFiles().constFirst();
    path = chosen.toUtf8().toStdString();
    return QFileInfo::exists(chosen) ? 1 : 2;
}

}   // namespace platform
