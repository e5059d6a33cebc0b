// The converter's dialogs in Qt Widgets: save and folder dialogs, codec choice, progress, boxes.
#include "reelbind/dialogs.h"
#include "reelbind/options.h"

#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace qv::reelbind {
namespace {

const QString kTitle = QStringLiteral("QUORVALIS");

QString fromView(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

/// Offers every codec, Motion JPEG first and preselected; nullopt on Cancel.
std::optional<Codec> askCodec()
{
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Video codec"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("Compress the frames with:"), &dialog));
    auto* group = new QButtonGroup(&dialog);
    int id = 0;
    for (const CodecInfo& info : codecs()) {
        auto* button = new QRadioButton(
            fromView(info.title) + QStringLiteral("  \u2013  ") + fromView(info.note), &dialog);
        button->setChecked(id == 0);
        group->addButton(button, id++);
        layout->addWidget(button);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted || group->checkedId() < 0) {
        return std::nullopt;
    }
    return codecs()[static_cast<std::size_t>(group->checkedId())].codec;
}

class QtDialogs final : public Dialogs
{
public:
    QtDialogs(int& argc, char** argv, std::optional<Codec> codec,
              const std::atomic<int>& interrupted)
        : m_application(argc, argv), m_codec(codec), m_interrupted(interrupted)
    {
        // A dialog's own event loop never returns to the code that reads the interrupt flag.
        // Before the writing and after it there is nothing to clean up, so the program just
        // ends; while it writes, progress() stops the writing, which removes its file.
        QObject::connect(&m_interruptWatch, &QTimer::timeout, [this] {
            if (m_interrupted.load() != 0 && !m_writing) {
                std::_Exit(kExitStopped);
            }
        });
        m_interruptWatch.start(100);
    }

    std::string askVideoPath() override
    {
        // The default suffix makes the dialog add ".avi" before it asks about replacing a
        // file, so that it asks about the file that will really be replaced.
        QFileDialog dialog(nullptr, QStringLiteral("Save AVI"), QString(),
                           QStringLiteral("AVI Video (*.avi)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("avi"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return {};
        }
        return dialog.selectedFiles().constFirst().toStdString();
    }

    std::string askFramesFolder(const std::string& start) override
    {
        // Existing folders only: a new, empty one holds no frames.
        return QFileDialog::getExistingDirectory(nullptr, QStringLiteral("Select images directory"),
                                                 QString::fromStdString(start),
                                                 QFileDialog::ShowDirsOnly | QFileDialog::ReadOnly)
            .toStdString();
    }

    std::optional<Codec> chooseCodec() override { return m_codec ? m_codec : askCodec(); }

    bool progress(std::int64_t written, std::int64_t candidates) override
    {
        m_writing = true;
        if (!m_progress) {
            m_progress = std::make_unique<QProgressDialog>();
            m_progress->setWindowTitle(kTitle);
            m_progress->setCancelButtonText(QStringLiteral("Stop"));
            m_progress->setMinimumDuration(0);
            m_progress->setAutoReset(false);
            m_progress->setAutoClose(false);
        }
        // The bar counts in ints; a movie of more than two billion frames is not made here.
        const auto total = static_cast<int>(std::min<std::int64_t>(candidates, INT32_MAX));
        m_progress->setMaximum(total);
        m_progress->setLabelText(
            QStringLiteral("Writing frame %1 of at most %2").arg(written).arg(candidates));
        m_progress->setValue(static_cast<int>(std::min<std::int64_t>(written, total)));
        QCoreApplication::processEvents();
        return !m_progress->wasCanceled() && m_interrupted.load() == 0;
    }

    void note(std::string_view line) override
    {
        std::fprintf(stderr, "reelbind: %.*s\n", static_cast<int>(line.size()), line.data());
    }

    void message(std::string_view text) override
    {
        m_writing = false;
        m_progress.reset();
        if (m_interrupted.load() != 0) {
            return;
        }
        QMessageBox box(QMessageBox::NoIcon, kTitle, fromView(text), QMessageBox::Ok);
        box.exec();
    }

private:
    QApplication m_application;
    std::optional<Codec> m_codec;
    const std::atomic<int>& m_interrupted;
    std::unique_ptr<QProgressDialog> m_progress;
    QTimer m_interruptWatch;
    bool m_writing = false;
};

} // namespace

std::unique_ptr<Dialogs> makeQtDialogs(int& argc, char** argv, std::optional<Codec> codec,
                                       const std::atomic<int>& interrupted)
{
    return std::make_unique<QtDialogs>(argc, argv, codec, interrupted);
}

} // namespace qv::reelbind
