#include "app/shell/MUDPreferencesWindowController.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QShortcut>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

#include "app/views/MUDFontHelper.h"
#include "engine/storage/MUDUserSettings.h"

MUDPreferencesWindowController::MUDPreferencesWindowController(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(tr("Preferences"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeOutputSection());
    layout->addWidget(makeTriggersSection());
    layout->addWidget(makeAccessibilitySection());
    layout->addStretch(1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this, &QWidget::close);
    layout->addWidget(buttons);
    showCurrentValues();
}

QWidget* MUDPreferencesWindowController::makeOutputSection()
{
    auto* section = new QGroupBox(tr("Output"), this);
    auto* form = new QFormLayout(section);
    m_fontFamilyBox = new QFontComboBox(section);
    // Server text lines up in columns: only fixed-pitch families qualify.
    m_fontFamilyBox->setFontFilters(QFontComboBox::MonospacedFonts);
    // Picked from the list (typing jumps to a family): an editable box would
    // report, and store, every partial name typed on the way.
    m_fontFamilyBox->setEditable(false);
    form->addRow(tr("Font:"), m_fontFamilyBox);
    m_fontSizeBox = new QSpinBox(section);
    m_fontSizeBox->setRange(MUDUserSettings::MinimumFontSize, MUDUserSettings::MaximumFontSize);
    m_fontSizeBox->setSuffix(tr(" pt"));
    form->addRow(tr("Size:"), m_fontSizeBox);
    return section;
}

QWidget* MUDPreferencesWindowController::makeTriggersSection()
{
    auto* section = new QGroupBox(tr("Triggers"), this);
    auto* column = new QVBoxLayout(section);
    m_matchEveryLineBox = new QCheckBox(tr("Match triggers on every line"), section);
    column->addWidget(m_matchEveryLineBox);
    return section;
}

QWidget* MUDPreferencesWindowController::makeAccessibilitySection()
{
    using Option = MUDUserSettings::Accessibility;
    auto* section = new QGroupBox(tr("Accessibility"), this);
    auto* form = new QFormLayout(section);
    const std::pair<Option, QString> options[] = {
        {Option::DontBlinkText, tr("Don't blink text")},
        {Option::HighContrastColors, tr("High-contrast colours")},
        {Option::SpeakIncomingText, tr("Speak incoming text")},
        {Option::DontSpeakOwnCommands, tr("Don't speak my own commands")},
    };
    for (const auto& [option, title] : options) {
        auto* box = new QCheckBox(title, section);
        m_accessibilityBoxes[option] = box;
        form->addRow(box);
    }
    auto speechBox = [section](const QString& name) {
        auto* box = new QSpinBox(section);
        box->setRange(MUDUserSettings::MinimumSpeechSetting, MUDUserSettings::MaximumSpeechSetting);
        box->setSingleStep(10);
        box->setAccessibleDescription(tr("%1, from -100 to 100; 0 is the voice's own").arg(name));
        return box;
    };
    m_speechRateBox = speechBox(tr("Speech rate"));
    form->addRow(tr("Speech rate:"), m_speechRateBox);
    m_speechVolumeBox = speechBox(tr("Speech volume"));
    form->addRow(tr("Speech volume:"), m_speechVolumeBox);
    return section;
}

void MUDPreferencesWindowController::showCurrentValues()
{
    MUDUserSettings& settings = MUDUserSettings::sharedInstance();
    const QFont current = MUDFontHelper::outputFont();
    m_fontFamilyBox->setCurrentFont(current);
    m_fontSizeBox->setValue(int(std::lround(current.pointSizeF())));
    m_matchEveryLineBox->setChecked(settings.matchEveryLine());
    for (const auto& [option, box] : m_accessibilityBoxes)
        box->setChecked(settings.accessibilityOption(option));
    m_speechRateBox->setValue(settings.speechRate());
    m_speechVolumeBox->setValue(settings.speechVolume());

    // Connected only now: opening the window writes nothing.
    connect(m_fontFamilyBox, &QFontComboBox::currentFontChanged, this,
            [](const QFont& font) { MUDUserSettings::sharedInstance().setOutputFontFamily(font.family()); });
    connect(m_fontSizeBox, &QSpinBox::valueChanged, this,
            [](int size) { MUDUserSettings::sharedInstance().setOutputFontSize(size); });
    connect(m_matchEveryLineBox, &QCheckBox::toggled, this,
            [](bool on) { MUDUserSettings::sharedInstance().setMatchEveryLine(on); });
    for (const auto& [option, box] : m_accessibilityBoxes)
        connect(box, &QCheckBox::toggled, this,
                [option = option](bool on) { MUDUserSettings::sharedInstance().setAccessibilityOption(option, on); });
    connect(m_speechRateBox, &QSpinBox::valueChanged, this,
            [](int rate) { MUDUserSettings::sharedInstance().setSpeechRate(rate); });
    connect(m_speechVolumeBox, &QSpinBox::valueChanged, this,
            [](int volume) { MUDUserSettings::sharedInstance().setSpeechVolume(volume); });
}
