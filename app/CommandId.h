// The commands of the main window: menu items, tool buttons and keyboard
// shortcuts all end in MainWindow::runCommand with one of these ids. Ids that
// reach the same action (a button and its menu item, Ctrl+A and Select All)
// are kept apart so that every path can be told from the others.
#pragma once

namespace moxel::gui {

enum class CommandId : int {
    // Tool buttons
    AddSourcesButton = 1025,
    RemoveSelectedButton = 1026,
    EncodeSelectedButton = 1028,
    AbortSelectedButton = 1029,
    ProfileManagerButton = 5,
    PreferencesButton = 6,

    // File
    LoadBatch = 40021,
    SaveBatch = 40022,
    AddSources = 40009,
    ImportBatch = 40023,
    ExportSelected = 40024,
    Exit = 40002,

    // Misc
    EncodeAll = 40014,
    AbortAll = 40020,
    ResetAll = 40034,
    ClearCompleted = 40035,
    RemoveAll = 40012,
    PauseAll = 40016,
    UnpauseAll = 40018,

    // Selection
    EncodeSelected = 40013,
    AbortSelected = 40019,
    ResetSelected = 40033,
    RemoveSelected = 40011,
    ChangeProfile = 40026,
    ChangeFilename = 40027,
    ChangePath = 40032,
    SelectAll = 40028,
    DeselectAll = 40029,
    SelectAllKey = 40030,
    DeselectAllKey = 40031,

    // Tools
    Preferences = 40001,
    ProfileManager = 40004,

    // Help
    About = 40003,

    // Queue control, beside the commands above.
    MoveUp = 41001,
    MoveDown = 41002,
    ShowLog = 41003,
    OpenOutputFolder = 41004,
    RetryFailed = 41005,
    QueueLog = 41006,
    PauseOrResume = 41007,
    RemoveSelectedKey = 41008, // the Delete key
    // When the queue is done
    DoneNothing = 41020,
    DoneNotify = 41021,
    DoneQuit = 41022,
    DoneSuspend = 41023,
    DoneShutDown = 41024,
    DoneRunCommand = 41025,
};

} // namespace moxel::gui
