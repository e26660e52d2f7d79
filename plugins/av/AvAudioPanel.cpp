// The audio settings panel: the bit rate of the audio encoder.
#include "plugins/av/AvCoderSettings.h"
#include "plugins/av/AvFormats.h"
#include "plugins/av/AvPanelFactory.h"

#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QWidget>

#include <string>

namespace moxel::av {

namespace {

class AvAudioPanel : public QWidget {
  public:
    AvAudioPanel(QWidget* parent, const AvFormat& format, const char* profilePath)
        : QWidget(parent), m_profilePath(profilePath),
          m_settings(AvCoderSettings::load(profilePath))
    {
        setObjectName(QStringLiteral("avAudioPanel"));
        AvCoderSettings::Range range = AvCoderSettings::rangeOf(&AvCoderSettings::audioBitrateKbps);
        m_bitrate = new QSpinBox(this);
        m_bitrate->setObjectName(QStringLiteral("audioBitrate"));
        m_bitrate->setRange(range.minValue, range.maxValue);
        m_bitrate->setSingleStep(16);
        m_bitrate->setValue(m_settings.audioBitrateKbps);
        m_bitrate->setSuffix(QStringLiteral(" kbit/s"));

        auto* layout = new QFormLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addRow(new QLabel(QString::fromLatin1(format.displayName), this));
        layout->addRow(QStringLiteral("Bit rate:"), m_bitrate);
        setMinimumSize(sizeHint());
    }

    ~AvAudioPanel() override
    {
        m_settings.audioBitrateKbps = m_bitrate->value();
        m_settings.save(m_profilePath.c_str(), AvCoderSettings::Part::Audio);
    }

  private:
    std::string m_profilePath;
    AvCoderSettings m_settings;
    QSpinBox* m_bitrate = nullptr;
};

} // namespace

QWidget* createAudioPanel(QWidget* parent, const AvFormat& format, const char* profilePath)
{
    return new AvAudioPanel(parent, format, profilePath != nullptr ? profilePath : "");
}

} // namespace moxel::av
