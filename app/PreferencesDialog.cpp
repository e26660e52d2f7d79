#include "app/PreferencesDialog.h"

#include "jobs/JobsAtOnce.h"
#include "profiles/TextNumbers.h"
#include "settings/ProgramFolders.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

namespace moxel::gui {

namespace {

// Stored prefs_priority of each item, in item order.
constexpr int kPriorityValues[] = {0, -1, -2};
constexpr int kAssumedFpsChars = 63;

} // namespace

PreferencesDialog::PreferencesDialog(ProgramFolders& folders, QWidget* parent)
    : OkOnCloseDialog(parent), m_folders(folders)
{
    setWindowTitle("Preferences");
    SettingsFile& settings = *m_folders.settings;

    m_priority = new QComboBox;
    m_priority->addItems({"high", "normal (recommended)", "low"});
    m_priority->setCurrentIndex(-1);
    const int stored = settings.getInt("prefs_priority", -1);
    for (int i = 0; i < 3; ++i)
        if (kPriorityValues[i] == stored)
            m_priority->setCurrentIndex(i);

    // A larger number stored by hand stays what it is.
    const int jobs = settings.getInt(kJobsAtOnceKey, kDefaultJobsAtOnce);
    m_jobsAtOnce = new QSpinBox;
    m_jobsAtOnce->setRange(1, std::max(jobs, kMostJobsAtOnceOffered));
    m_jobsAtOnce->setValue(std::max(jobs, 1));
    auto* jobsRow = new QHBoxLayout;
    jobsRow->addWidget(new QLabel("Jobs at once"));
    jobsRow->addWidget(m_jobsAtOnce);
    jobsRow->addStretch(1);

    auto tick = [&settings](const char* text, const char* key, int defaultValue) {
        auto* box = new QCheckBox(text);
        box->setChecked(settings.getInt(key, defaultValue) != 0);
        return box;
    };
    m_overwrite = tick("Automatically overwrite existing files (no prompt)", "prefs_overwrite", 0);
    m_createFolders = tick("Automatically create new folders (no prompt)", "prefs_mkdir", 0);
    m_confirmQuit = tick("Prompt on exit of Moxel", "confirmquit", 1);
    m_assumeFps = tick("If cannot determine framerate of source, assume", "assumefps", 1);

    m_assumedFps =
        new QLineEdit(QString::fromStdString(settings.getString("assumefps_val", "30.000")));
    m_assumedFps->setMaxLength(kAssumedFpsChars);
    m_assumedFps->setMaximumWidth(80);

    auto* fpsRow = new QHBoxLayout;
    fpsRow->addWidget(m_assumeFps);
    fpsRow->addWidget(m_assumedFps);
    fpsRow->addWidget(new QLabel("fps"));
    fpsRow->addStretch(1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Encoding Priority: (takes effect when you hit OK)"));
    layout->addWidget(m_priority);
    layout->addLayout(jobsRow);
    layout->addSpacing(6);
    layout->addWidget(m_overwrite);
    layout->addWidget(m_createFolders);
    layout->addWidget(m_confirmQuit);
    layout->addLayout(fpsRow);
    layout->addSpacing(6);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void PreferencesDialog::store()
{
    SettingsFile& settings = *m_folders.settings;
    const int item = m_priority->currentIndex();
    if (item >= 0 && item < 3)
        settings.setInt("prefs_priority", kPriorityValues[item]);
    settings.setInt(kJobsAtOnceKey, m_jobsAtOnce->value());
    settings.setInt("prefs_overwrite", m_overwrite->isChecked() ? 1 : 0);
    settings.setInt("prefs_mkdir", m_createFolders->isChecked() ? 1 : 0);
    settings.setInt("confirmquit", m_confirmQuit->isChecked() ? 1 : 0);
    settings.setInt("assumefps", m_assumeFps->isChecked() ? 1 : 0);
    m_folders.assumeFpsEnabled = settings.getInt("assumefps", 1) != 0;
    const std::string fps = m_assumedFps->text().left(kAssumedFpsChars).toStdString();
    settings.setString("assumefps_val", fps);
    m_folders.assumedFps = parseLeadingDouble(fps);
}

void PreferencesDialog::accept()
{
    store();
    OkOnCloseDialog::accept();
}

} // namespace moxel::gui
