// The palette dialog: its controls in dialog units, and the actions that run the palette rules.
#include "ui/palette_dialog.h"

#include "ui/qt_program.h"

#include <algorithm>
#include <vector>

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>

namespace qv {

namespace {

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The widest text a number field is made to show whole: 7 significant digits, a sign and a
// point.
constexpr const char* kWidestField = "-0.1234567";

constexpr std::array<std::string_view, 3> kColumnSuffix = {" start", " step", " stop"};

// Where the dialog first appears: beside the picture below the menu window, else below the
// picture, so that the recoloured picture stays in sight; kept on the screen. A request the
// window manager may overrule.
QPoint placeBeside(const QWidget* owner, QSize size)
{
    if (owner == nullptr || owner->screen() == nullptr) {
        return {40, 40};
    }
    const QRect free = owner->screen()->availableGeometry();
    const QRect picture = owner->frameGeometry();
    QPoint place = picture.topRight() + QPoint(21, 80);
    if (place.x() + size.width() > free.right() &&
        picture.bottom() + 40 + size.height() <= free.bottom()) {
        place = QPoint(picture.left(), picture.bottom() + 40);
    }
    place.setX(
        std::clamp(place.x(), free.left(), std::max(free.left(), free.right() - size.width())));
    place.setY(
        std::clamp(place.y(), free.top(), std::max(free.top(), free.bottom() - size.height())));
    return place;
}

// A control's place in dialog units, and the pixels its text needs (0: its size hint's).
struct Placement
{
    QWidget* widget;
    int left, top, width, height, needed;
};

// Each control takes at least its laid-out size and grows to show its whole text; a control
// that grew pushes those to its right along, so that none covers another. Returns the size
// the dialog needs.
QSize placeControls(std::vector<Placement> placements, const DialogUnits& units)
{
    std::sort(placements.begin(), placements.end(),
              [](const Placement& a, const Placement& b) { return a.left < b.left; });
    std::vector<QRect> placed;
    QRect bounds = units.rect(0, 0, 380, 140);
    for (const Placement& p : placements) {
        QRect r = units.rect(p.left, p.top, p.width, p.height);
        const QSize hint = p.widget->sizeHint();
        const bool textSized = qobject_cast<QLabel*>(p.widget) != nullptr ||
                               qobject_cast<QCheckBox*>(p.widget) != nullptr;
        r.setWidth(std::max({r.width(), p.needed, textSized ? hint.width() : 0}));
        if (qobject_cast<QSlider*>(p.widget) == nullptr) {
            r.setHeight(std::max(r.height(), hint.height()));
        }
        for (bool moved = true; moved;) {
            moved = false;
            for (const QRect& other : placed) {
                if (r.intersects(other)) {
                    r.moveLeft(other.right() + 1 + units.x(3));
                    moved = true;
                }
            }
        }
        p.widget->setGeometry(r);
        placed.push_back(r);
        bounds = bounds.united(r.adjusted(0, 0, units.x(2), units.y(5)));
    }
    return bounds.size();
}

} // namespace

PaletteDialog::PaletteDialog(AppState& app, QtProgram& program, QWidget* owner)
    : ProgramDialog(app.palette, owner), m_app(app), m_program(program)
{
    setFont(QFont(QStringLiteral("Arial"), 10));
    setWindowTitle(qs(kPaletteDialogTitle));
    build();
    connectActions();
    showSettings();
}

PaletteDialog* PaletteDialog::open(PaletteDialog* existing, AppState& app, QtProgram& program,
                                   QWidget* owner)
{
    PaletteDialog* dialog = existing;
    if (dialog == nullptr) {
        dialog = new PaletteDialog(app, program, owner);
        program.adoptDialog(dialog);
        dialog->move(placeBeside(owner, dialog->size()));
    }
    if (!dialog->isVisible()) {
        dialog->m_offsetInTitle = false;
        dialog->refill();
        dialog->show();
    }
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}

void PaletteDialog::build()
{
    const QFontMetrics metrics(font());
    const int fieldWidth = metrics.horizontalAdvance(QString::fromLatin1(kWidestField)) + 12;
    const auto buttonWidth = [&](const QString& text) {
        return metrics.horizontalAdvance(text) + 2 * style()->pixelMetric(QStyle::PM_ButtonMargin) +
               2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    };

    std::vector<Placement> placements;

    // The three channel rows: a label and a field for start, step and stop each.
    constexpr std::array<int, 3> kLabelLeft = {5, 108, 208};
    constexpr std::array<int, 3> kFieldLeft = {70, 170, 270};
    for (int column = 0; column < 3; ++column) {
        for (int channel = 0; channel < 3; ++channel) {
            const auto i = static_cast<std::size_t>(3 * column + channel);
            const int top = 5 + 20 * channel;
            m_labels[i] = new QLabel(this);
            m_labels[i]->setAutoFillBackground(true);
            m_labels[i]->setIndent(2);
            m_fields[i] = new QLineEdit(this);
            // The label of the second step is 12 units high, as laid out from the start.
            const int labelHeight = column == 1 && channel == 1 ? 12 : 14;
            placements.push_back({m_labels[i], kLabelLeft[static_cast<std::size_t>(column)], top,
                                  59, labelHeight, 0});
            placements.push_back({m_fields[i], kFieldLeft[static_cast<std::size_t>(column)], top,
                                  25, 14, fieldWidth});
        }
    }

    const std::array<std::pair<const char*, std::array<int, 4>>, 5> buttons = {{
        {"GENERATE", {5, 65, 65, 18}},
        {"RANDOM", {75, 65, 65, 18}},
        {"SAVE", {325, 5, 53, 18}},
        {"LOAD", {325, 43, 53, 18}},
        {"EXIT", {325, 83, 53, 18}},
    }};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const QString text = QString::fromLatin1(buttons[i].first);
        auto* button = new QPushButton(text, this);
        button->setAutoDefault(false);
        m_buttons[i] = button;
        const auto& r = buttons[i].second;
        placements.push_back({button, r[0], r[1], r[2], r[3], buttonWidth(text)});
    }

    auto* maxStepLabel = new QLabel(QStringLiteral("Max color step"), this);
    maxStepLabel->setAutoFillBackground(true);
    maxStepLabel->setIndent(2);
    placements.push_back({maxStepLabel, 170, 65, 70, 14, 0});
    m_maxStep = new QLineEdit(this);
    placements.push_back({m_maxStep, 260, 65, 35, 14, fieldWidth});

    const std::array<const char*, 5> boxes = {"HSL", "Inverse", "Reverse", "Exp 2", "Exp 3"};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        auto* box = new QCheckBox(QString::fromLatin1(boxes[i]), this);
        box->setAutoFillBackground(true);
        m_boxes[i] = box;
        placements.push_back({box, 10 + 60 * static_cast<int>(i), 90, 50, 14, 0});
    }

    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setSingleStep(1);
    m_slider->setPageStep(5);
    placements.push_back({m_slider, 5, 115, 320, 20, 0});

    setFixedSize(placeControls(placements, DialogUnits(font())));
}

void PaletteDialog::connectActions()
{
    connect(button(PaletteButton::Generate), &QPushButton::clicked, this,
            [this] { act([this] { generate(); }); });
    connect(button(PaletteButton::Random), &QPushButton::clicked, this,
            [this] { act([this] { drawRandom(); }); });
    connect(button(PaletteButton::Save), &QPushButton::clicked, this,
            [this] { act([this] { savePaletteCommand(m_app, m_program.services()); }); });
    connect(button(PaletteButton::Load), &QPushButton::clicked, this,
            [this] { act([this] { load(); }); });
    connect(button(PaletteButton::Exit), &QPushButton::clicked, this, [this] { exitDialog(); });
    for (std::size_t i = 0; i < m_boxes.size(); ++i) {
        const auto option = static_cast<PaletteOption>(i);
        connect(m_boxes[i], &QCheckBox::clicked, this,
                [this, option](bool on) { optionClicked(option, on); });
    }
    // Every position change by the person (drag, keys, page clicks); the dialog's own changes
    // are made with the signals blocked.
    connect(m_slider, &QSlider::valueChanged, this,
            [this](int position) { sliderMoved(position); });
}

void PaletteDialog::act(std::function<void()> action, bool fromSlider)
{
    // A slider change that replaces a waiting one is not counted twice.
    if (!fromSlider || !m_sliderWaiting) {
        ++m_waiting;
    }
    m_sliderWaiting = m_sliderWaiting || fromSlider;
    m_program.whenIdle(
        [this, action = std::move(action), fromSlider] {
            --m_waiting;
            if (fromSlider) {
                m_sliderWaiting = false;
            }
            action();
            if (m_waiting == 0 && m_refillDue) {
                m_refillDue = false;
                showSettings();
            }
        },
        fromSlider ? static_cast<const void*>(m_slider) : nullptr);
}

void PaletteDialog::refill()
{
    // The render that ends refreshes the dialogs before the actions that waited for it run:
    // the controls keep what the person set until those actions have taken it over.
    if (m_waiting > 0) {
        m_refillDue = true;
        return;
    }
    showSettings();
}

void PaletteDialog::showSettings()
{
    const PaletteState& state = m_app.paletteState;
    showLabels();
    showFields(paletteFieldsOf(state));
    for (std::size_t i = 0; i < m_boxes.size(); ++i) {
        const QSignalBlocker blocker(m_boxes[i]);
        m_boxes[i]->setChecked(paletteOptionOn(state, static_cast<PaletteOption>(i)));
    }
    {
        const QSignalBlocker blocker(m_slider);
        const OffsetRange range = offsetSliderRange(m_app.view.iterMax);
        m_slider->setRange(range.minimum, range.maximum);
        m_slider->setValue(state.paletteOffset + 1);
    }
    setWindowTitle(
        qs(m_offsetInTitle ? offsetTitle(state.paletteOffset) : std::string(kPaletteDialogTitle)));
    // A loaded or reset palette is also the background's.
    update();
}

void PaletteDialog::showLabels()
{
    const auto names = channelNames(m_app.paletteState.options.hsl);
    for (std::size_t column = 0; column < 3; ++column) {
        for (std::size_t channel = 0; channel < 3; ++channel) {
            m_labels[3 * column + channel]->setText(
                qs(std::string(names[channel]) + std::string(kColumnSuffix[column])));
        }
    }
}

void PaletteDialog::showFields(const PaletteFields& fields)
{
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        m_fields[i]->setText(qs(fields.parameters[i]));
    }
    m_maxStep->setText(qs(fields.maxColourStep));
}

PaletteFields PaletteDialog::shownFields() const
{
    PaletteFields fields;
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        fields.parameters[i] = m_fields[i]->text().toStdString();
    }
    fields.maxColourStep = m_maxStep->text().toStdString();
    return fields;
}

void PaletteDialog::generate()
{
    const Recolouring recolouring = generateFromFields(m_app, m_program.services(), shownFields());
    // The background shows the new table too.
    update();
    if (recolouring == Recolouring::RenderDue) {
        m_program.renderNow();
    }
}

void PaletteDialog::drawRandom()
{
    showFields(drawRandomPalette(m_app, m_program.services()));
    // The table is generated once more from what the fields show.
    generate();
}

void PaletteDialog::load()
{
    loadPaletteCommand(m_app, m_program.services());
    // Also after a refused file, which cleared the options and the offset.
    refill();
}

void PaletteDialog::exitDialog()
{
    act([this] { m_program.redisplayPicture(); });
    close();
}

void PaletteDialog::optionClicked(PaletteOption option, bool on)
{
    act([this, option, on] {
        setPaletteOption(m_app, m_program.services(), option, on);
        // New channel names; what the fields show stays, typed or not.
        if (option == PaletteOption::Hsl) {
            showLabels();
        }
    });
}

void PaletteDialog::sliderMoved(int position)
{
    act(
        [this, position] {
            setOffsetFromSlider(m_app, m_program.services(), position);
            m_offsetInTitle = true;
            setWindowTitle(qs(offsetTitle(m_app.paletteState.paletteOffset)));
        },
        true);
}

} // namespace qv
