#include "configdialog/ProfileEditorDialog.h"

#include "configdialog/EditorMessages.h"
#include "configdialog/EncoderConfigDialog.h"
#include "configdialog/NumberFields.h"
#include "configdialog/ProfileBackup.h"
#include "configdialog/TabSequence.h"
#include "profiles/KmfConfig.h"
#include "profiles/TextNumbers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace moxel {

namespace {

constexpr int kNameMaxChars = 254;
constexpr int kRealMaxChars = 126;
constexpr double kMinVolume = 0.001;
constexpr int kDefaultSampleRate = 44100;
constexpr int kNumberWidth = 64;

QCheckBox* makeCheck(const QString& text, const QString& objectName, QWidget* parent)
{
    auto* check = new QCheckBox(text, parent);
    check->setObjectName(objectName);
    return check;
}

QLineEdit* narrow(QLineEdit* field)
{
    field->setMaximumWidth(kNumberWidth);
    return field;
}

} // namespace

ProfileEditorDialog::ProfileEditorDialog(const std::string& profilePath,
                                         const CodecPluginSet& plugins, const ProfileBackup& backup,
                                         QWidget* parent)
    : QDialog(parent), m_plugins(plugins), m_backup(backup)
{
    m_profile.filePath = profilePath;
    setObjectName(QStringLiteral("profileEditorDialog"));
    setWindowTitle(QStringLiteral("Moxel Profile Configuration"));

    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("profileName"));
    m_name->setMaxLength(kNameMaxChars);
    auto* nameLabel = new QLabel(QStringLiteral("&Profile Name:"), this);
    nameLabel->setBuddy(m_name);
    m_savedAs = new QLabel(QStringLiteral("Saved on disk as:"), this);
    m_savedAs->setObjectName(QStringLiteral("savedOnDisk"));
    auto* top = new QGridLayout;
    top->addWidget(nameLabel, 0, 0);
    top->addWidget(m_name, 0, 1);
    top->addWidget(m_savedAs, 1, 1);

    auto* halves = new QHBoxLayout;
    halves->addWidget(buildVideoGroup());
    halves->addWidget(buildAudioGroup());

    auto* encoder = new QPushButton(QStringLiteral("KMF &Encoder Configuration"), this);
    encoder->setObjectName(QStringLiteral("encoderConfig"));
    // Enter presses the focused button (Cancel must never save), and OK
    // from any other control.
    encoder->setAutoDefault(true);
    connect(encoder, &QPushButton::clicked, this, [this] { openEncoderConfig(); });
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(true);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(encoder);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(halves, 1);
    layout->addLayout(buttons);

    // Tab follows the fields as the dialog's table lists them, which goes
    // back from the audio half to the frame rate; the name comes first.
    setTabSequence(
        {m_name,      m_deinterlace, m_hqDeinterlace, m_cropTop,      m_cropLeft,  m_cropBottom,
         m_cropRight, m_resize,      m_resizeWidth,   m_resizeHeight, m_hqResize,  m_sampleRate,
         m_channels,  m_lowpass,     m_volume,        m_dropRepeat,   m_frameRate, encoder,
         ok,          cancel});
    m_name->setFocus();

    m_savedAs->setText(savedOnDiskText(profilePath));
    m_profile.load();
    showValues();
}

QWidget* ProfileEditorDialog::buildVideoGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Video processing:"), this);
    m_deinterlace =
        makeCheck(QStringLiteral("&Deinterlace video"), QStringLiteral("deinterlace"), group);
    m_hqDeinterlace = makeCheck(QStringLiteral("High quality deinterlace"),
                                QStringLiteral("hqDeinterlace"), group);

    auto* cropping = new QGroupBox(QStringLiteral("Cropping"), group);
    m_cropTop = narrow(makeDigitsField(cropping, QStringLiteral("cropTop")));
    m_cropLeft = narrow(makeDigitsField(cropping, QStringLiteral("cropLeft")));
    m_cropBottom = narrow(makeDigitsField(cropping, QStringLiteral("cropBottom")));
    m_cropRight = narrow(makeDigitsField(cropping, QStringLiteral("cropRight")));
    auto* crop = new QGridLayout(cropping);
    crop->addWidget(new QLabel(QStringLiteral("Remove:"), cropping), 0, 0);
    const std::pair<QLineEdit*, const char*> sides[] = {{m_cropTop, "pixels from top"},
                                                        {m_cropLeft, "pixels from left"},
                                                        {m_cropBottom, "pixels from bottom"},
                                                        {m_cropRight, "pixels from right"}};
    for (int i = 0; i < 4; ++i) {
        crop->addWidget(sides[i].first, i / 2, 1 + (i % 2) * 2);
        crop->addWidget(new QLabel(QString::fromLatin1(sides[i].second), cropping), i / 2,
                        2 + (i % 2) * 2);
    }

    auto* resizing = new QGroupBox(QStringLiteral("Resizing"), group);
    m_resize = makeCheck(QStringLiteral("&Resize to:"), QStringLiteral("resize"), resizing);
    m_resizeWidth = narrow(makeDigitsField(resizing, QStringLiteral("resizeWidth")));
    m_resizeHeight = narrow(makeDigitsField(resizing, QStringLiteral("resizeHeight")));
    m_hqResize =
        makeCheck(QStringLiteral("&High quality resize"), QStringLiteral("hqResize"), resizing);
    auto* size = new QHBoxLayout;
    size->addWidget(m_resize);
    size->addWidget(m_resizeWidth);
    size->addWidget(new QLabel(QStringLiteral("x"), resizing));
    size->addWidget(m_resizeHeight);
    size->addStretch(1);
    auto* resize = new QVBoxLayout(resizing);
    resize->addLayout(size);
    resize->addWidget(m_hqResize);

    auto* rate = new QGroupBox(QStringLiteral("Output framerate (experimental):"), group);
    m_dropRepeat = makeCheck(QStringLiteral("Drop/repeat frames to achieve:"),
                             QStringLiteral("dropRepeat"), rate);
    m_frameRate = new QLineEdit(rate);
    m_frameRate->setObjectName(QStringLiteral("frameRate"));
    m_frameRate->setMaximumWidth(kNumberWidth + 24);
    auto* rateRow = new QHBoxLayout(rate);
    rateRow->addWidget(m_dropRepeat);
    rateRow->addWidget(m_frameRate);
    rateRow->addWidget(new QLabel(QStringLiteral("fps"), rate));
    rateRow->addStretch(1);

    auto* layout = new QVBoxLayout(group);
    layout->addWidget(m_deinterlace);
    layout->addWidget(m_hqDeinterlace);
    layout->addWidget(cropping);
    layout->addWidget(resizing);
    layout->addWidget(rate);
    layout->addStretch(1);
    return group;
}

QWidget* ProfileEditorDialog::buildAudioGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Audio processing:"), this);

    auto* resample = new QGroupBox(QStringLiteral("Resample &audio to:"), group);
    m_sampleRate = narrow(makeDigitsField(resample, QStringLiteral("sampleRate")));
    m_channels = new QComboBox(resample);
    m_channels->setObjectName(QStringLiteral("channels"));
    m_channels->addItem(QStringLiteral("Mono"));
    m_channels->addItem(QStringLiteral("Stereo"));
    auto* rateRow = new QHBoxLayout;
    rateRow->addWidget(m_sampleRate);
    rateRow->addWidget(new QLabel(QStringLiteral("Hz"), resample));
    rateRow->addWidget(m_channels);
    rateRow->addStretch(1);
    m_lowpass = makeCheck(QStringLiteral("Lowpass filter when downsampling"),
                          QStringLiteral("lowpass"), resample);
    auto* resampleLayout = new QVBoxLayout(resample);
    resampleLayout->addLayout(rateRow);
    resampleLayout->addWidget(m_lowpass);

    m_volume = new QLineEdit(group);
    m_volume->setObjectName(QStringLiteral("volume"));
    m_volume->setMaximumWidth(kNumberWidth + 24);
    auto* volumeLabel = new QLabel(QStringLiteral("Volume multiplier (1.0 = normal):"), group);
    volumeLabel->setBuddy(m_volume);

    auto* layout = new QVBoxLayout(group);
    layout->addWidget(resample);
    layout->addWidget(volumeLabel);
    layout->addWidget(m_volume);
    layout->addStretch(1);
    return group;
}

QString ProfileEditorDialog::savedOnDiskText(const std::string& profilePath)
{
    size_t slash = profilePath.find_last_of('/');
    std::string name = slash == std::string::npos ? profilePath : profilePath.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name.resize(dot);
    return QStringLiteral("Saved on disk as: ") + QString::fromStdString(name);
}

bool ProfileEditorDialog::isAllowedName(const QString& name)
{
    return !name.contains(u'/') && !name.contains(u'\\') && !name.contains(u'.');
}

void ProfileEditorDialog::showValues()
{
    const EncodingProfile& p = m_profile;
    m_deinterlace->setChecked(p.deinterlace != Deinterlace::Off);
    m_hqDeinterlace->setChecked(p.deinterlace == Deinterlace::HighQuality);
    m_cropTop->setText(unsignedText(p.cropT));
    m_cropLeft->setText(unsignedText(p.cropL));
    m_cropBottom->setText(unsignedText(p.cropB));
    m_cropRight->setText(unsignedText(p.cropR));
    m_resizeWidth->setText(unsignedText(p.resizeWidth));
    m_resizeHeight->setText(unsignedText(p.resizeHeight));
    m_sampleRate->setText(unsignedText(p.outSampleRate));
    m_resize->setChecked(p.resizeEnabled != 0);
    m_hqResize->setChecked(p.filteredResize != 0);
    m_dropRepeat->setChecked(p.useOutputFrameRate != 0);
    m_lowpass->setChecked(p.lowPassFilter != 0);
    m_channels->setCurrentIndex(p.outChannels == 2 ? 1 : 0);
    m_volume->setText(QString::fromStdString(formatFixed(p.volumeScale, 3)));
    m_frameRate->setText(QString::fromStdString(formatFixed(p.outputFrameRate, 5)));
    m_name->setText(QString::fromStdString(p.friendlyName));
}

void ProfileEditorDialog::takeValues()
{
    EncodingProfile& p = m_profile;
    p.deinterlace = !m_deinterlace->isChecked()    ? Deinterlace::Off
                    : m_hqDeinterlace->isChecked() ? Deinterlace::HighQuality
                                                   : Deinterlace::Plain;
    p.cropT = readUnsigned(m_cropTop, 0);
    p.cropL = readUnsigned(m_cropLeft, 0);
    p.cropB = readUnsigned(m_cropBottom, 0);
    p.cropR = readUnsigned(m_cropRight, 0);
    p.resizeWidth = readUnsigned(m_resizeWidth, 0);
    p.resizeHeight = readUnsigned(m_resizeHeight, 0);
    p.resizeEnabled = m_resize->isChecked() ? 1 : 0;
    p.lowPassFilter = m_lowpass->isChecked() ? 1 : 0;
    p.filteredResize = m_hqResize->isChecked() ? 1 : 0;
    p.useOutputFrameRate = m_dropRepeat->isChecked() ? 1 : 0;
    p.outSampleRate = readUnsigned(m_sampleRate, kDefaultSampleRate);
    p.outChannels = m_channels->currentIndex() + 1;
    double volume = readReal(m_volume, kRealMaxChars);
    p.volumeScale = volume >= kMinVolume ? volume : kMinVolume;
    p.outputFrameRate = readReal(m_frameRate, kRealMaxChars);
    p.friendlyName = fieldText(m_name, kNameMaxChars);
}

bool ProfileEditorDialog::saveValues()
{
    takeValues();
    if (m_profile.save())
        return true;
    showNotWritten(this, m_profile.filePath);
    return false;
}

void ProfileEditorDialog::accept()
{
    if (!isAllowedName(m_name->text())) {
        showBadNameNotice(this);
        return;
    }
    if (saveValues())
        QDialog::accept();
}

void ProfileEditorDialog::reject()
{
    if (!m_backup.restore())
        showNotWritten(this, m_profile.filePath);
    QDialog::reject();
}

void ProfileEditorDialog::openEncoderConfig()
{
    saveValues();
    KmfConfig config(m_profile.filePath);
    config.load();
    {
        EncoderConfigDialog dialog(config, m_plugins, this);
        dialog.exec();
    }
    // The dialog has written the section and told the user if it could not.
    config.release();
}

} // namespace moxel
