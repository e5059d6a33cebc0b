// ParametersDialog: the controls, their places in dialog units, and their actions.
#include "ui/parameters_dialog.h"

#include "ui/picture_window.h"
#include "ui/qt_program.h"

#include <algorithm>
#include <initializer_list>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QWindow>

// Resources of a static library are registered by name from the global namespace.
static void registerPictures()
{
    Q_INIT_RESOURCE(pictures);
}

namespace qv {

namespace {

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string text(const QLineEdit* field)
{
    return field != nullptr ? field->text().toStdString() : std::string();
}

/// The widest text each field is expected to show, so that it shows it whole.
QString widestText(const QLineEdit* field, const ParametersDialog& dialog)
{
    if (field == dialog.potValueField()) {
        return QStringLiteral(" -6.66666666667e-10");
    }
    if (field == dialog.bailoutField()) {
        return QStringLiteral(" 1.23456789012345e30");
    }
    if (field == dialog.iterMaxField()) {
        return QStringLiteral(" 2147483647");
    }
    return QStringLiteral(" 1.0234567");
}

/// Grey behind the text, as controls look by default, so that every caption reads well over
/// any palette.
template <typename Widget> Widget* opaque(Widget* widget)
{
    widget->setAutoFillBackground(true);
    return widget;
}

} // namespace

ParametersDialog::ParametersDialog(AppState& app, QtProgram& program, QWidget* owner)
    : ProgramDialog(app.palette, nullptr), m_app(app), m_program(program)
{
    registerPictures();
    setWindowTitle(qs(kParametersTitle));
    setFont(QFont(QStringLiteral("Arial"), 10));
    build();
    layOut();
    refill();
    if (owner != nullptr && owner->windowHandle() != nullptr) {
        winId();
        windowHandle()->setTransientParent(owner->windowHandle());
    }
}

void ParametersDialog::build()
{
    m_picture = new QLabel(this);
    m_picture->setAlignment(Qt::AlignCenter);

    const auto label = [this](const char* caption) {
        QLabel* l = opaque(new QLabel(QString::fromLatin1(caption), this));
        l->setContentsMargins(2, 0, 2, 0);
        return l;
    };
    const auto field = [this, &label](const char* caption) {
        QLabel* l = label(caption);
        auto* f = new QLineEdit(this);
        m_labels[f] = l;
        return f;
    };
    const auto list = [this, &label](const char* caption) {
        QLabel* l = label(caption);
        auto* c = new QComboBox(this);
        m_labels[c] = l;
        return c;
    };
    m_iterMax = field("Iter max:");
    m_bailout = field("Bailout:");
    m_potValue = field("Pot value:");
    m_unzoom = field("Unzoom:");
    m_sizeList = list("Pic size:");
    for (std::size_t k = 0; k < pictureSizeTable().size(); ++k) {
        m_sizeList->addItem(qs(pictureSizeText(k)));
    }
    m_sizeList->setMaxVisibleItems(static_cast<int>(pictureSizeTable().size()));
    m_formatList = list("Pic format:");
    for (const std::string_view format : pictureFormatTexts()) {
        m_formatList->addItem(qs(format));
    }
    m_textureList = list("Texture:");
    for (std::int32_t k = 0; k < kTextureCount; ++k) {
        m_textureList->addItem(qs(textureText(k)));
    }
    m_textureList->setMaxVisibleItems(kTextureCount);
    const bool severalProcessors = m_app.shell.processorCount > 1;
    if (severalProcessors) {
        m_threads = field("Threads:");
        m_threadsLabel = m_labels[m_threads];
    }
    for (QLineEdit* f : {m_iterMax, m_bailout, m_potValue, m_unzoom, m_threads}) {
        if (f != nullptr) {
            f->setMinimumWidth(f->fontMetrics().horizontalAdvance(widestText(f, *this)) + 12);
        }
    }

    m_options = new QGroupBox(QStringLiteral("Options"), this);
    // The frame's caption sits on grey like the boxes; the frame itself shows the palette.
    m_options->setStyleSheet(
        QStringLiteral("QGroupBox { border: 1px solid #404040; margin-top: 0.6em; }"
                       "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px;"
                       " background-color: palette(window); }"));
    for (const OptionBoxCaption& option : optionBoxes()) {
        if (option.box == OptionBox::MultiThreaded && !severalProcessors) {
            continue;
        }
        QCheckBox* box = opaque(new QCheckBox(qs(option.caption), m_options));
        const OptionBox which = option.box;
        connect(box, &QCheckBox::clicked, this, [this, which] { optionClicked(which); });
        m_boxes[which] = box;
    }

    const QString buttonStyle = QStringLiteral(
        "QPushButton { color: #ffffff; background-color: #0000ff; border: 2px outset #6060ff;"
        " padding: 3px 10px; }"
        "QPushButton:pressed { border-style: inset; }");
    m_apply = new QPushButton(QStringLiteral("APPLY AND EXIT"), this);
    m_redraw = new QPushButton(QStringLiteral("REDRAW"), this);
    for (QPushButton* button : {m_apply, m_redraw}) {
        button->setStyleSheet(buttonStyle);
        // Enter in a field must not close the dialog or render.
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    connect(m_sizeList, &QComboBox::activated, this, [this](int entry) { sizeChosen(entry); });
    connect(m_formatList, &QComboBox::activated, this, [this](int entry) {
        m_program.whenIdle([this, entry] { choosePictureFormat(m_app.settings, entry); },
                           m_formatList);
    });
    connect(m_textureList, &QComboBox::activated, this,
            [this](int entry) { textureChosen(entry); });
    connect(m_apply, &QPushButton::clicked, this, [this] { applyAndExit(); });
    connect(m_redraw, &QPushButton::clicked, this, [this] { redraw(); });
}

void ParametersDialog::layOut()
{
    const DialogUnits du(font());
    const QRect pictureArea = du.rect(5, 5, 160, 120);
    m_picture->setGeometry(pictureArea);
    const QPixmap picture(QStringLiteral(":/parameters_picture.png"));
    m_picture->setPixmap(
        picture.scaled(pictureArea.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));

    // The rows under the picture: label, control, label, control. Each control takes at
    // least its place in dialog units and grows to what its text needs, pushing the next one
    // to the right; a row is as high as its highest control.
    struct Cell
    {
        QWidget* widget;
        int left;
        int width;
    };

    const auto labelOf = [this](QWidget* control) -> QWidget* {
        const auto found = m_labels.find(control);
        return found != m_labels.end() ? found->second : nullptr;
    };
    const auto needed = [](QWidget* w) {
        if (auto* f = qobject_cast<QLineEdit*>(w)) {
            return QSize(f->minimumWidth(), f->sizeHint().height());
        }
        return w->sizeHint();
    };
    int top = du.y(132);
    int leftRight = pictureArea.right();
    const auto placeRow = [&](std::initializer_list<Cell> cells) {
        int height = du.y(14);
        for (const Cell& c : cells) {
            if (c.widget != nullptr) {
                height = std::max(height, needed(c.widget).height());
            }
        }
        int x = 0;
        for (const Cell& c : cells) {
            if (c.widget == nullptr) {
                continue;
            }
            const QSize need = needed(c.widget);
            const int left = std::max(du.x(c.left), x);
            const int width = std::max(du.x(c.width), need.width());
            if (qobject_cast<QLabel*>(c.widget) != nullptr) {
                const int h = need.height();
                c.widget->setGeometry(left, top + (height - h) / 2, width, h);
            } else {
                c.widget->setGeometry(left, top, width, height);
            }
            x = left + width + du.x(3);
            leftRight = std::max(leftRight, left + width);
        }
        top += height + du.y(6);
    };
    const auto pair = [&](QWidget* first, QWidget* second) {
        placeRow({{labelOf(first), 5, 38},
                  {first, 44, 52},
                  {second != nullptr ? labelOf(second) : nullptr, 100, 38},
                  {second, 139, 56}});
    };
    pair(m_iterMax, m_bailout);
    pair(m_potValue, m_unzoom);
    pair(m_sizeList, m_formatList);
    pair(m_textureList, m_threads);
    const int leftBottom = top;

    // The Options frame on the right, its boxes in one column of equal width.
    int boxWidth = du.x(130);
    int boxHeight = du.y(12);
    for (const auto& [which, box] : m_boxes) {
        boxWidth = std::max(boxWidth, box->sizeHint().width());
        boxHeight = std::max(boxHeight, box->sizeHint().height());
    }
    const int step = std::max(du.y(17), boxHeight + du.y(3));
    const int frameLeft = std::max(du.x(205), leftRight + du.x(10));
    int row = 0;
    for (const OptionBoxCaption& option : optionBoxes()) {
        // The slot of a missing box stays empty, so that every box keeps its place.
        if (QCheckBox* box = optionBox(option.box)) {
            box->setGeometry(du.x(8), du.y(14) + row * step, boxWidth, boxHeight);
        }
        ++row;
    }
    const QRect frame(frameLeft, du.y(5), boxWidth + du.x(16), du.y(14) + row * step + du.y(4));
    m_options->setGeometry(frame);

    // The buttons at the bottom right, APPLY AND EXIT above REDRAW.
    const int buttonWidth =
        std::max({du.x(120), m_apply->sizeHint().width(), m_redraw->sizeHint().width()});
    const int buttonHeight = std::max(du.y(24), m_apply->sizeHint().height());
    const int buttonLeft = frame.right() + 1 - buttonWidth;
    const int applyTop = std::max(du.y(300), frame.bottom() + du.y(12));
    m_apply->setGeometry(buttonLeft, applyTop, buttonWidth, buttonHeight);
    m_redraw->setGeometry(buttonLeft, applyTop + buttonHeight + du.y(8), buttonWidth, buttonHeight);

    const int width = std::max(du.x(360), frame.right() + 1 + du.x(5));
    const int height =
        std::max({du.y(370), m_redraw->geometry().bottom() + 1 + du.y(8), leftBottom});
    setFixedSize(width, height);
}

QCheckBox* ParametersDialog::optionBox(OptionBox box) const
{
    const auto found = m_boxes.find(box);
    return found != m_boxes.end() ? found->second : nullptr;
}

void ParametersDialog::refill()
{
    showFields();
    showBoxesAndLists();
}

void ParametersDialog::showFields()
{
    const TypedFields texts = fieldTexts(m_app);
    m_iterMax->setText(qs(texts.iterMax));
    m_bailout->setText(qs(texts.bailout));
    m_potValue->setText(qs(texts.potValue));
    m_unzoom->setText(qs(texts.unzoom));
    if (m_threads != nullptr) {
        m_threads->setText(qs(texts.threads));
    }
}

void ParametersDialog::showBoxesAndLists()
{
    for (const auto& [which, box] : m_boxes) {
        showOption(which, optionTicked(m_app, which));
    }
    m_sizeList->setCurrentIndex(shownPictureSizeEntry(m_app.settings));
    m_formatList->setCurrentIndex(m_app.settings.pictureFormatIndex);
    m_textureList->setCurrentIndex(shownTextureEntry(m_app.view));
}

void ParametersDialog::showIterMax(const QString& text)
{
    m_iterMax->setText(text);
}

void ParametersDialog::showPotValue(const QString& text)
{
    m_potValue->setText(text);
}

void ParametersDialog::showOption(OptionBox box, bool ticked)
{
    if (QCheckBox* b = optionBox(box)) {
        b->setChecked(ticked);
    }
    if (box == OptionBox::MultiThreaded && m_threads != nullptr) {
        m_threadsLabel->setEnabled(ticked);
        m_threads->setEnabled(ticked);
        m_threads->setText(qs(fieldTexts(m_app).threads));
    }
}

TypedFields ParametersDialog::typedFields() const
{
    return TypedFields{text(m_iterMax), text(m_bailout), text(m_potValue), text(m_unzoom),
                       text(m_threads)};
}

void ParametersDialog::optionClicked(OptionBox box)
{
    m_program.whenIdle([this, box] {
        clickOption(m_app, box, m_program.services());
        showBoxesAndLists();
    });
}

void ParametersDialog::sizeChosen(int entry)
{
    m_program.whenIdle(
        [this, entry] {
            const SizeChoice choice = choosePictureSize(m_app, entry, m_program.services());
            showBoxesAndLists();
            if (choice == SizeChoice::Changed) {
                // Through the picture window's queued render, which also brings a picture
                // larger than the screen to the screen's corner.
                m_program.requestRender();
            }
        },
        m_sizeList);
}

void ParametersDialog::textureChosen(int entry)
{
    m_program.whenIdle(
        [this, entry] {
            chooseTexture(m_app, entry, m_program.services());
            showBoxesAndLists();
            m_bailout->setText(qs(fieldTexts(m_app).bailout));
        },
        m_textureList);
}

void ParametersDialog::applyAndExit()
{
    // The texts as typed now, not as a refill at the end of a running render leaves them.
    const TypedFields typed = typedFields();
    m_program.whenIdle([this, typed] {
        takeTypedFields(m_app, typed, ParametersButton::ApplyAndExit, m_program.services().prompts);
        showFields();
        close();
    });
}

void ParametersDialog::redraw()
{
    const TypedFields typed = typedFields();
    m_program.whenIdle([this, typed] {
        PictureWindow& picture = m_program.pictureWindow();
        if (picture.isMinimized()) {
            picture.showNormal();
        }
        takeTypedFields(m_app, typed, ParametersButton::Redraw, m_program.services().prompts);
        showFields();
        // The end of the render refills the dialog: the render may have changed the pot value.
        m_program.requestRender();
    });
}

void ParametersDialog::keyPressEvent(QKeyEvent* event)
{
    // Esc stops a render; it does not close this dialog.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    ProgramDialog::keyPressEvent(event);
}

} // namespace qv
