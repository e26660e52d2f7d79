// The engine's questions as windows: "File Exists" and its answers, and
// questions from a worker thread, which only the worker waits for.
#include "GuiTestSupport.h"

#include "app/FileExistsDialog.h"
#include "app/GuiPrompt.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <atomic>
#include <thread>

using namespace moxel;
using namespace moxel::gui;
using moxel::test::WindowHandler;

namespace {

const char* const kText = "The destination file:   /o/a.kmf\nalready exists.  Overwrite it?";

// Asks on this thread, answering the dialog with answer().
FileExistsAnswer askAnswering(GuiPrompt& prompt,
                              const std::function<void(FileExistsDialog&)>& answer)
{
    WindowHandler handler([&](QWidget* widget) {
        auto* dialog = qobject_cast<FileExistsDialog*>(widget);
        ASSERT_NE(dialog, nullptr);
        answer(*dialog);
    });
    FileExistsAnswer result = prompt.askFileExists(kText);
    EXPECT_EQ(handler.handled(), 1);
    return result;
}

TEST(PromptTest, FileExistsAnswersEachButtonTheCloseBoxAndEscape)
{
    QWidget owner;
    GuiPrompt prompt(&owner);
    bool yesFocused = false;
    QString title, message;
    EXPECT_EQ(askAnswering(prompt,
                           [&](FileExistsDialog& d) {
                               yesFocused = d.focusWidget() == d.button(FileExistsAnswer::Yes);
                               title = d.windowTitle();
                               for (QLabel* label : d.findChildren<QLabel*>())
                                   if (!label->text().isEmpty())
                                       message = label->text();
                               moxel::test::clickButton(&d, "Yes");
                           }),
              FileExistsAnswer::Yes);
    EXPECT_TRUE(yesFocused);
    EXPECT_EQ(title, "File Exists");
    EXPECT_EQ(message.toStdString(), kText);

    const std::pair<const char*, FileExistsAnswer> buttons[] = {
        {"Overwrite All Files", FileExistsAnswer::OverwriteAll},
        {"No", FileExistsAnswer::No},
        {"Cancel job", FileExistsAnswer::CancelJob},
    };
    for (const auto& [text, answer] : buttons)
        EXPECT_EQ(
            askAnswering(
                prompt, [text = text](FileExistsDialog& d) { moxel::test::clickButton(&d, text); }),
            answer)
            << text;

    EXPECT_EQ(askAnswering(prompt, [](FileExistsDialog& d) { d.close(); }), FileExistsAnswer::Yes);
    EXPECT_EQ(
        askAnswering(prompt, [](FileExistsDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }),
        FileExistsAnswer::CancelJob);
    // Return takes the focused default, "Yes".
    EXPECT_EQ(
        askAnswering(prompt, [](FileExistsDialog& d) { QTest::keyClick(&d, Qt::Key_Return); }),
        FileExistsAnswer::Yes);
}

TEST(PromptTest, FileExistsEnterAnswersWithTheFocusedButton)
{
    QWidget owner;
    GuiPrompt prompt(&owner);
    // Tab from "Yes" walks the buttons in their order; Enter and Return
    // then answer with the one reached, as Space does.
    const FileExistsAnswer inOrder[] = {FileExistsAnswer::Yes, FileExistsAnswer::OverwriteAll,
                                        FileExistsAnswer::No, FileExistsAnswer::CancelJob};
    for (int tabs = 0; tabs < 4; ++tabs) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
            bool reached = false;
            const FileExistsAnswer answer = askAnswering(prompt, [&](FileExistsDialog& d) {
                EXPECT_TRUE(QTest::qWaitForWindowActive(&d));
                for (int i = 0; i < tabs; ++i)
                    QTest::keyClick(d.focusWidget(), Qt::Key_Tab);
                reached = d.focusWidget() == d.button(inOrder[tabs]);
                QTest::keyClick(d.focusWidget(), key);
            });
            EXPECT_TRUE(reached) << tabs << " tabs";
            EXPECT_EQ(answer, inOrder[tabs]) << tabs << " tabs, key " << key;
        }
    }
    // Back on "Yes" after the focus went elsewhere, Enter means Yes again.
    EXPECT_EQ(askAnswering(prompt,
                           [](FileExistsDialog& d) {
                               QTest::keyClick(d.focusWidget(), Qt::Key_Tab);
                               QTest::keyClick(d.focusWidget(), Qt::Key_Backtab);
                               QTest::keyClick(d.focusWidget(), Qt::Key_Return);
                           }),
              FileExistsAnswer::Yes);
}

TEST(PromptTest, AWorkersQuestionAppearsWithoutBlockingTheWindow)
{
    QWidget owner;
    GuiPrompt prompt(&owner);
    std::atomic<int> answer{-1};
    bool modal = true;
    QString title;
    WindowHandler handler(
        [&](QWidget* box) {
            modal = QApplication::activeModalWidget() != nullptr;
            title = box->windowTitle();
            moxel::test::clickButton(box, "Yes");
        },
        GuiPrompt::kQuestionBoxName);
    std::thread worker([&] {
        answer = prompt.askYesNo("Create new folder?", "The output path: /o\ndoes not exist.  "
                                                       "Create a new folder?")
                     ? 1
                     : 0;
    });
    EXPECT_TRUE(moxel::test::runEventsUntil([&] { return answer != -1; }));
    worker.join();
    EXPECT_EQ(answer, 1);
    EXPECT_FALSE(modal);
    EXPECT_EQ(title, "Create new folder?");
    EXPECT_EQ(prompt.pendingCount(), 0);
}

TEST(PromptTest, ShutDownReleasesAWaitingWorker)
{
    QWidget owner;
    GuiPrompt prompt(&owner);
    std::atomic<int> answer{-1};
    std::atomic<bool> boxShown{false};
    WindowHandler handler([&](QWidget*) { boxShown = true; }, GuiPrompt::kFileExistsName);
    std::thread worker([&] { answer = int(prompt.askFileExists(kText)); });
    ASSERT_TRUE(moxel::test::runEventsUntil([&] { return boxShown.load(); }));
    EXPECT_EQ(prompt.pendingCount(), 1);
    prompt.shutDown();
    worker.join();
    EXPECT_EQ(answer, int(FileExistsAnswer::CancelJob));
    // Later questions are answered at once, with no window.
    std::thread late([&] { answer = prompt.askYesNo("Create new folder?", "x") ? 1 : 0; });
    late.join();
    EXPECT_EQ(answer, 0);
    QApplication::processEvents();
    for (QWidget* top : QApplication::topLevelWidgets())
        EXPECT_FALSE(top->isVisible() && top->objectName() == GuiPrompt::kFileExistsName);
}

} // namespace
