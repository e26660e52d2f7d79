// A codec plug-in for the editor tests: formats and settings panels only.
//   audio "ZZA1", "ZZA2", "ZZA3" ("Test audio 1" .. "Test audio 3");
//   video "ZZV1" ("Test video"); "ZZNP" ("Test video without panel").
// Each panel is 150 x 50 pixels and holds one text field ("zzField_audio" or
// "zzField_video") that takes the keyboard. It counts, in the profile's section
// "zz_panels", the panels made ("made_audio", "made_video") and destroyed
// ("destroyed_audio", "destroyed_video"), and writes the FourCC it was made
// for as "last_audio" / "last_video" when destroyed. ZzLivePanels() gives the
// number of panels that exist.
#include "encoder/KmfCoderPlugin.h"
#include "profiles/IniFile.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <string>

#define ZZ_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr uint32_t code(const char (&s)[5])
{
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

struct Type {
    uint32_t format;
    const char* name;
    bool hasPanel;
};

const Type kAudio[] = {{code("ZZA1"), "Test audio 1", true},
                       {code("ZZA2"), "Test audio 2", true},
                       {code("ZZA3"), "Test audio 3", true}};
const Type kVideo[] = {{code("ZZV1"), "Test video", true},
                       {code("ZZNP"), "Test video without panel", false}};

int g_livePanels = 0;

void bump(const std::string& path, const std::string& key)
{
    moxel::IniFile ini = moxel::IniFile::load(path);
    ini.setUInt("zz_panels", key, uint32_t(ini.getInt("zz_panels", key, 0) + 1));
    ini.save();
}

class CountingPanel : public QWidget {
  public:
    CountingPanel(QWidget* parent, const char* kind, uint32_t format, const char* path)
        : QWidget(parent), m_kind(kind), m_format(format), m_path(path ? path : "")
    {
        setObjectName(QStringLiteral("zzPanel"));
        setFixedSize(150, 50);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(
            new QLabel(QString::fromLatin1(reinterpret_cast<const char*>(&m_format), 4), this));
        auto* field = new QLineEdit(this);
        field->setObjectName(QString::fromStdString("zzField_" + m_kind));
        layout->addWidget(field);
        ++g_livePanels;
        bump(m_path, "made_" + m_kind);
    }
    ~CountingPanel() override
    {
        --g_livePanels;
        bump(m_path, "destroyed_" + m_kind);
        moxel::IniFile ini = moxel::IniFile::load(m_path);
        ini.setString("zz_panels", "last_" + m_kind,
                      std::string(reinterpret_cast<const char*>(&m_format), 4));
        ini.save();
    }

  private:
    std::string m_kind;
    uint32_t m_format;
    std::string m_path;
};

template <size_t N> uint32_t typeAt(const Type (&types)[N], int index, char* nameOut)
{
    if (index < 0 || size_t(index) >= N)
        return 0;
    std::snprintf(nameOut, moxel::kCoderTypeNameSize, "%s", types[index].name);
    return types[index].format;
}

template <size_t N>
QWidget* panelFor(const Type (&types)[N], const char* kind, QWidget* parent, uint32_t format,
                  const char* path)
{
    for (const Type& t : types)
        if (t.format == format && t.hasPanel)
            return new CountingPanel(parent, kind, format, path);
    return nullptr;
}

} // namespace

ZZ_EXPORT uint32_t GetAudioTypes3(int index, char* nameOut)
{
    return typeAt(kAudio, index, nameOut);
}
ZZ_EXPORT uint32_t GetVideoTypes3(int index, char* nameOut)
{
    return typeAt(kVideo, index, nameOut);
}

ZZ_EXPORT QWidget* ConfigAudio3(QWidget* parent, void*, uint32_t format, const char* path)
{
    return panelFor(kAudio, "audio", parent, format, path);
}

ZZ_EXPORT QWidget* ConfigVideo3(QWidget* parent, void*, uint32_t format, const char* path)
{
    return panelFor(kVideo, "video", parent, format, path);
}

ZZ_EXPORT int ZzLivePanels()
{
    return g_livePanels;
}
