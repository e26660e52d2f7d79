// The video settings panel: target bit rate, key-picture interval and the
// speed / quality trade-off of the encoder.
#include "plugins/av/AvCoderSettings.h"
#include "plugins/av/AvFormats.h"
#include "plugins/av/AvPanelFactory.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>
#include <QWidget>

#include <string>

namespace moxel::av {

namespace {

QSpinBox* makeSpin(QWidget* parent, const char* objectName, int AvCoderSettings::*field, int value,
                   const QString& suffix)
{
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QString::fromLatin1(objectName));
    AvCoderSettings::Range range = AvCoderSettings::rangeOf(field);
    spin->setRange(range.minValue, range.maxValue);
    spin->setValue(value);
    spin->setSuffix(suffix);
    return spin;
}

class AvVideoPanel : public QWidget {
  public:
    AvVideoPanel(QWidget* parent, const AvFormat& format, const char* profilePath)
        : QWidget(parent), m_profilePath(profilePath),
          m_settings(AvCoderSettings::load(profilePath))
    {
        setObjectName(QStringLiteral("avVideoPanel"));
        m_bitrate = makeSpin(this, "videoBitrate", &AvCoderSettings::videoBitrateKbps,
                             m_settings.videoBitrateKbps, QStringLiteral(" kbit/s"));
        m_bitrate->setSingleStep(50);
        m_keyint = makeSpin(this, "keyint", &AvCoderSettings::keyint, m_settings.keyint,
                            QStringLiteral(" pictures"));

        AvCoderSettings::Range speedRange = AvCoderSettings::rangeOf(&AvCoderSettings::speed);
        m_speed = new QSlider(Qt::Horizontal, this);
        m_speed->setObjectName(QStringLiteral("speed"));
        m_speed->setRange(speedRange.minValue, speedRange.maxValue);
        m_speed->setValue(m_settings.speed);
        m_speed->setTickPosition(QSlider::TicksBelow);
        m_speed->setPageStep(1);
        m_speed->setMinimumWidth(120);
        auto* speedEnds = new QHBoxLayout;
        speedEnds->addWidget(new QLabel(QStringLiteral("best quality"), this));
        speedEnds->addStretch(1);
        speedEnds->addWidget(new QLabel(QStringLiteral("fastest"), this));

        auto* layout = new QFormLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addRow(new QLabel(QString::fromLatin1(format.displayName), this));
        layout->addRow(QStringLiteral("Bit rate:"), m_bitrate);
        layout->addRow(QStringLiteral("Key picture every:"), m_keyint);
        layout->addRow(QStringLiteral("Speed:"), m_speed);
        layout->addRow(QString(), speedEnds);
        setMinimumSize(sizeHint());
    }

    ~AvVideoPanel() override
    {
        m_settings.videoBitrateKbps = m_bitrate->value();
        m_settings.keyint = m_keyint->value();
        m_settings.speed = m_speed->value();
        m_settings.save(m_profilePath.c_str(), AvCoderSettings::Part::Video);
    }

  private:
    std::string m_profilePath;
    AvCoderSettings m_settings;
    QSpinBox* m_bitrate = nullptr;
    QSpinBox* m_keyint = nullptr;
    QSlider* m_speed = nullptr;
};

} // namespace

QWidget* createVideoPanel(QWidget* parent, const AvFormat& format, const char* profilePath)
{
    return new AvVideoPanel(parent, format, profilePath != nullptr ? profilePath : "");
}

} // namespace moxel::av
