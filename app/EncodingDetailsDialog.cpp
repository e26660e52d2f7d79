#include "app/EncodingDetailsDialog.h"

#include "app/FolderBrowser.h"
#include "app/ProfileListBox.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <iterator>

namespace moxel::gui {

EncodingDetailsDialog::EncodingDetailsDialog(const Setup& setup, EditProfiles editProfiles,
                                             QWidget* parent)
    : OkOnCloseDialog(parent), m_setup(setup), m_editProfiles(std::move(editProfiles))
{
    setWindowTitle("Encoding Details");

    auto* help = new QLabel("Please choose the encoding profile for the new source files, "
                            "then the name and folder of the encoded files. A '*' in the "
                            "file name stands for the part that differs between the sources.");
    help->setWordWrap(true);

    m_profiles = new ProfileListBox;
    m_profiles->setProfiles(setup.profileNames, setup.highlightedProfile);
    m_profiles->setMinimumHeight(110);
    auto* profilesLabel = new QLabel("Encoding Profiles: (please select one)");
    profilesLabel->setBuddy(m_profiles);

    m_edit = new QPushButton("&Edit Profiles");
    auto* profileRow = new QHBoxLayout;
    profileRow->addWidget(m_profiles, 1);
    auto* profileButtons = new QVBoxLayout;
    profileButtons->addWidget(m_edit);
    profileButtons->addStretch(1);
    profileRow->addLayout(profileButtons);

    m_name = new QLineEdit(QString::fromStdString(setup.nameTemplate));
    m_folder = new QLineEdit(QString::fromStdString(setup.folder));
    m_browse = new QPushButton("...");
    m_browse->setToolTip("Browse for the output folder");
    m_browse->setFixedWidth(m_browse->fontMetrics().horizontalAdvance("...") + 24);
    m_previous = new QPushButton("Use &Previous Output Folder");
    m_source = new QPushButton("Use &Source Folder");
    // Enter on a focused button presses that button; elsewhere it is OK.
    for (QPushButton* button : {m_edit, m_browse, m_previous, m_source})
        button->setAutoDefault(true);

    auto* nameLabel = new QLabel("Output File&name:");
    nameLabel->setBuddy(m_name);
    auto* folderLabel = new QLabel("Output &Folder:");
    folderLabel->setBuddy(m_folder);

    auto* fields = new QGridLayout;
    fields->addWidget(nameLabel, 0, 0);
    fields->addWidget(m_name, 0, 1, 1, 2);
    fields->addWidget(folderLabel, 1, 0);
    fields->addWidget(m_folder, 1, 1);
    fields->addWidget(m_browse, 1, 2);
    auto* folderButtons = new QHBoxLayout;
    folderButtons->addWidget(m_previous);
    folderButtons->addWidget(m_source);
    folderButtons->addStretch(1);
    fields->addLayout(folderButtons, 2, 1, 1, 2);
    fields->setColumnStretch(1, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(m_browse, &QPushButton::clicked, this, &EncodingDetailsDialog::browse);
    connect(m_source, &QPushButton::clicked, this,
            [this] { m_folder->setText(QString::fromStdString(m_setup.sourceFolder)); });
    connect(m_previous, &QPushButton::clicked, this,
            [this] { m_folder->setText(QString::fromStdString(m_setup.previousFolder)); });
    connect(m_edit, &QPushButton::clicked, this, &EncodingDetailsDialog::editProfiles);
    connect(m_profiles, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    m_edit->setEnabled(bool(m_editProfiles));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(help);
    layout->addSpacing(4);
    layout->addWidget(profilesLabel);
    layout->addLayout(profileRow, 1);
    layout->addSpacing(4);
    layout->addLayout(fields);
    layout->addSpacing(4);
    layout->addWidget(buttons);
    resize(520, sizeHint().height());

    // Tab goes down the controls as they are listed, whatever order the
    // desktop's style gives OK and Cancel.
    QWidget* const tabOrder[] = {m_profiles,
                                 m_edit,
                                 m_name,
                                 m_folder,
                                 m_browse,
                                 m_previous,
                                 m_source,
                                 buttons->button(QDialogButtonBox::Ok),
                                 buttons->button(QDialogButtonBox::Cancel)};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

int EncodingDetailsDialog::highlightedProfile() const
{
    return m_profiles->highlighted();
}

std::string EncodingDetailsDialog::nameTemplate() const
{
    return m_name->text().toStdString();
}

std::string EncodingDetailsDialog::folder() const
{
    return m_folder->text().toStdString();
}

void EncodingDetailsDialog::browse()
{
    if (auto chosen = browseForFolder(
            this, folder(), "Please select the folder in which to save the KMF-encoded files."))
        m_folder->setText(QString::fromStdString(*chosen));
}

void EncodingDetailsDialog::editProfiles()
{
    if (!m_editProfiles)
        return;
    std::vector<std::string> names;
    int highlight = -1;
    m_editProfiles(highlightedProfile(), names, highlight);
    m_profiles->setProfiles(names, highlight);
}

void EncodingDetailsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_profiles->setFocus();
}

} // namespace moxel::gui
