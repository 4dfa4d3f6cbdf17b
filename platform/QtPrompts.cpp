#include "QtPrompts.h"

#include "Text8.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPrintDialog>
#include <QPrinter>

namespace {

QString pathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
std::string pathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

QMessageBox::Icon boxIcon(Prompts::Icon icon)
{
    switch (icon) {
    case Prompts::Icon::Information: return QMessageBox::Information;
    case Prompts::Icon::Warning: return QMessageBox::Warning;
    case Prompts::Icon::Error: return QMessageBox::Critical;
    case Prompts::Icon::Question: return QMessageBox::Question;
    case Prompts::Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

struct ButtonSet {
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton first;
    QMessageBox::StandardButton escape;
};

ButtonSet buttonSet(Prompts::Buttons buttons)
{
    switch (buttons) {
    case Prompts::Buttons::OkCancel:
        return {QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, QMessageBox::Cancel};
    case Prompts::Buttons::YesNo:
        return {QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QMessageBox::No};
    case Prompts::Buttons::YesNoCancel:
        return {QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes, QMessageBox::Cancel};
    case Prompts::Buttons::Ok:
        break;
    }
    return {QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok};
}

// The proposed name as the dialog takes it: a name whose folder does not exist would send
// the dialog there, so only its last part is kept.
QString proposedName(const std::string& name)
{
    const QString text = pathText(name);
    if (!text.contains(QLatin1Char('/')))
        return text;
    const QFileInfo info(text);
    return info.dir().exists() ? text : info.fileName();
}

// Describes the dialog's files by their names alone. Qt's own provider tells the type and the
// icon of a file whose name says nothing by reading its first bytes, on the GUI thread, for
// every file the dialog lists or is given: a file whose read never returns (/proc/kmsg, for
// root) froze the program.
class NameOnlyIconProvider : public QFileIconProvider {
public:
    QIcon icon(IconType type) const override { return QFileIconProvider::icon(type); }

    QIcon icon(const QFileInfo& info) const override
    {
        if (info.isRoot())
            return icon(Drive);
        if (info.isDir())
            return icon(Folder);
        const QIcon themed = QIcon::fromTheme(byName(info).iconName());
        return themed.isNull() ? icon(File) : themed;
    }

    QString type(const QFileInfo& info) const override
    {
        if (!info.isFile() || info.isRoot())
            return QFileIconProvider::type(info);   // from the kind of entry, nothing is read
        const QMimeType mime = byName(info);
        return mime.comment().isEmpty() ? mime.name() : mime.comment();
    }

private:
    QMimeType byName(const QFileInfo& info) const
    {
        return mimes_.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    }

    QMimeDatabase mimes_;
};

std::string runFileDialog(QWidget* owner, const Prompts::FileDialog& d, QFileDialog::AcceptMode mode)
{
    NameOnlyIconProvider icons;   // outlives the dialog, which only borrows it
    QFileDialog dialog(owner, Text8::toUnicode(d.caption), pathText(d.initialFolder), Text8::toUnicode(d.filter));
    dialog.setIconProvider(&icons);
    dialog.setAcceptMode(mode);
    const bool existing = mode == QFileDialog::AcceptOpen && d.mustExist;
    dialog.setFileMode(existing ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!d.fileName.empty())
        dialog.selectFile(proposedName(d.fileName));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? std::string() : pathBytes(files.front());
}

} // namespace

Prompts::Answer QtPrompts::message(QWidget* owner, Icon icon, std::string_view caption, std::string_view text,
                                   Buttons buttons)
{
    const ButtonSet set = buttonSet(buttons);
    QMessageBox box(boxIcon(icon), Text8::toUnicode(caption), Text8::toUnicode(text), set.buttons, owner);
    box.setTextFormat(Qt::PlainText);   // a text with "<" is shown as it is, never as markup
    box.setDefaultButton(set.first);
    box.setEscapeButton(set.escape);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    default: break;
    }
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
}

bool QtPrompts::choosePrinter(QWidget* owner, QPrinter& printer)
{
    QPrintDialog dialog(&printer, owner);
    return dialog.exec() == QDialog::Accepted;
}

std::string QtPrompts::showOpenDialog(QWidget* owner, const FileDialog& dialog)
{
    return runFileDialog(owner, dialog, QFileDialog::AcceptOpen);
}

std::string QtPrompts::showSaveDialog(QWidget* owner, const FileDialog& dialog)
{
    return runFileDialog(owner, dialog, QFileDialog::AcceptSave);
}
