#include "configdialog/EncoderConfigDialog.h"

#include "configdialog/EditorMessages.h"
#include "configdialog/FormatListBox.h"
#include "configdialog/NumberFields.h"
#include "configdialog/TabSequence.h"
#include "encoder/CodecPlugins.h"
#include "profiles/KmfConfig.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace moxel {

namespace {

constexpr int kMetaMaxChars = 32766;
constexpr int kNumberWidth = 80;

QLabel* labelFor(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

EncoderConfigDialog::EncoderConfigDialog(KmfConfig& config, const CodecPluginSet& plugins,
                                         QWidget* parent)
    : QDialog(parent), m_config(config), m_plugins(plugins)
{
    setObjectName(QStringLiteral("encoderConfigDialog"));
    setWindowTitle(QStringLiteral("KMF Encoder Configuration"));

    auto* formats = new QHBoxLayout;
    formats->addWidget(buildFormatGroup(QStringLiteral("Audio"), QStringLiteral("Audio format:"),
                                        m_audioList, m_audioSlot, false));
    formats->addWidget(buildFormatGroup(QStringLiteral("Video"), QStringLiteral("Video format:"),
                                        m_videoList, m_videoSlot, true));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setObjectName(QStringLiteral("ok"));
    m_ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildOptionsGroup());
    layout->addLayout(formats, 1);
    layout->addWidget(buttons);

    showValues();
    m_audioSlot->recreate(m_config.audioFormat);
    m_videoSlot->recreate(m_config.videoFormat);
    chainTabs();
    m_sendAhead->setFocus();
}

void EncoderConfigDialog::chainTabs()
{
    // The options, then each format list followed by its codec panel's
    // controls, then OK.
    setTabSequence({m_sendAhead, m_minSync, m_maxSync, m_header, m_tocSize, m_meta, m_audioList,
                    m_audioSlot->frame(), m_videoList, m_videoSlot->frame(), m_ok});
}

EncoderConfigDialog::~EncoderConfigDialog()
{
    // Closed some other way than done(): the panels still go in their order.
    m_audioSlot->destroy();
    m_videoSlot->destroy();
}

QWidget* EncoderConfigDialog::buildOptionsGroup()
{
    auto* group = new QGroupBox(QStringLiteral("KMF Format Options"), this);
    m_sendAhead = makeSignedField(group, QStringLiteral("audioSendAhead"));
    m_minSync = makeDigitsField(group, QStringLiteral("minSync"));
    m_maxSync = makeDigitsField(group, QStringLiteral("maxSync"));
    m_header = new QCheckBox(QStringLiteral("File header"), group);
    m_header->setObjectName(QStringLiteral("fileHeader"));
    m_tocSize = makeDigitsField(group, QStringLiteral("tocSize"));
    for (QLineEdit* number : {m_sendAhead, m_minSync, m_maxSync, m_tocSize})
        number->setFixedWidth(kNumberWidth);
    m_meta = new QLineEdit(group);
    m_meta->setObjectName(QStringLiteral("metadata"));
    m_meta->setMaxLength(kMetaMaxChars);

    auto* grid = new QGridLayout(group);
    grid->addWidget(labelFor(QStringLiteral("Audio send-ahead (ms):"), m_sendAhead, group), 0, 0);
    grid->addWidget(m_sendAhead, 0, 1, Qt::AlignLeft);
    grid->addWidget(labelFor(QStringLiteral("Min/max sync frame interval:"), m_minSync, group), 1,
                    0);
    auto* sync = new QHBoxLayout;
    sync->addWidget(m_minSync);
    sync->addWidget(new QLabel(QStringLiteral("/"), group));
    sync->addWidget(m_maxSync);
    sync->addStretch(1);
    grid->addLayout(sync, 1, 1);
    grid->addWidget(m_header, 0, 2);
    auto* toc = new QHBoxLayout;
    toc->addWidget(labelFor(QStringLiteral("TOC size (0=none):"), m_tocSize, group));
    toc->addWidget(m_tocSize);
    toc->addStretch(1);
    grid->addLayout(toc, 1, 2);
    grid->addWidget(labelFor(QStringLiteral("Metadata:"), m_meta, group), 2, 0);
    grid->addWidget(m_meta, 2, 1, 1, 2);
    return group;
}

QWidget* EncoderConfigDialog::buildFormatGroup(const QString& title, const QString& label,
                                               FormatListBox*& list,
                                               std::unique_ptr<CodecPanelSlot>& slot, bool video)
{
    auto* group = new QGroupBox(title, this);
    list = new FormatListBox(group);
    list->setObjectName(video ? QStringLiteral("videoFormat") : QStringLiteral("audioFormat"));
    list->setNotifyHandler([this, video] { listNotified(video); });

    auto* line = new QFrame(group);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* frame = new QWidget(group);
    frame->setObjectName(video ? QStringLiteral("videoPanelFrame")
                               : QStringLiteral("audioPanelFrame"));
    frame->setMinimumSize(240, 110);
    CodecPanelSlot::Ask ask;
    if (video)
        ask = [this](QWidget* parent, uint32_t format) {
            return m_plugins.configVideo(parent, format, m_config.filePath().c_str());
        };
    else
        ask = [this](QWidget* parent, uint32_t format) {
            return m_plugins.configAudio(parent, format, m_config.filePath().c_str());
        };
    slot = std::make_unique<CodecPanelSlot>(frame, std::move(ask),
                                            video ? &m_videoPanel : &m_audioPanel);

    auto* top = new QHBoxLayout;
    top->addWidget(labelFor(label, list, group));
    top->addWidget(list, 1);
    auto* layout = new QVBoxLayout(group);
    layout->addLayout(top);
    layout->addWidget(line);
    layout->addWidget(frame, 1);
    return group;
}

void EncoderConfigDialog::showValues()
{
    m_header->setChecked(m_config.writeHeader != 0);
    m_meta->setText(QString::fromStdString(m_config.meta));
    m_tocSize->setText(unsignedText(m_config.tocEntries));
    m_minSync->setText(unsignedText(m_config.minSyncInterval));
    m_maxSync->setText(unsignedText(m_config.maxSyncInterval));
    m_sendAhead->setText(QString::number(m_config.audioSendAheadMs));

    for (const CodecType& type : m_plugins.audioTypes(true))
        m_audioList->addFormat(type.displayName, type.format);
    m_audioList->selectFormat(m_config.audioFormat);
    for (const CodecType& type : m_plugins.videoTypes(true))
        m_videoList->addFormat(type.displayName, type.format);
    m_videoList->selectFormat(m_config.videoFormat);
}

void EncoderConfigDialog::listNotified(bool video)
{
    if (m_closing)
        return; // the panels are gone for good
    FormatListBox* list = video ? m_videoList : m_audioList;
    uint32_t& format = video ? m_config.videoFormat : m_config.audioFormat;
    if (std::optional<uint32_t> selected = list->selectedFormat())
        format = *selected;
    (video ? m_videoSlot : m_audioSlot)->recreate(format);
    chainTabs(); // a new panel's controls come last otherwise
}

void EncoderConfigDialog::takeValues()
{
    m_config.writeHeader = m_header->isChecked() ? 1 : 0;
    m_config.meta = fieldText(m_meta, kMetaMaxChars);
    m_config.tocEntries = readUnsigned(m_tocSize, 0);
    m_config.audioSendAheadMs = readSigned(m_sendAhead, 0);
    m_config.minSyncInterval = readUnsigned(m_minSync, 0);
    if (uint32_t(m_config.minSyncInterval) > uint32_t(kMinSyncLimit))
        m_config.minSyncInterval = kMinSyncReplacement;
    m_config.maxSyncInterval = readUnsigned(m_maxSync, 0);
    if (uint32_t(m_config.maxSyncInterval) > uint32_t(kMaxSyncLimit))
        m_config.maxSyncInterval = kMaxSyncLimit;
}

void EncoderConfigDialog::done(int)
{
    if (!m_closing) {
        m_closing = true;
        takeValues();
        m_audioSlot->destroy();
        m_videoSlot->destroy();
        if (!m_config.save())
            showNotWritten(this, m_config.filePath());
    }
    QDialog::done(QDialog::Accepted);
}

} // namespace moxel
