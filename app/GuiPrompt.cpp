#include "app/GuiPrompt.h"

#include "app/FileExistsDialog.h"
#include "app/MessageWindow.h"

#include <QMessageBox>
#include <QThread>

#include <algorithm>

namespace moxel::gui {

GuiPrompt::GuiPrompt(QWidget* owner) : m_owner(owner)
{
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &GuiPrompt::openWaiting);
    m_poll.start();
}

GuiPrompt::~GuiPrompt()
{
    shutDown();
}

void GuiPrompt::showMessage(const std::string& title, const std::string& text)
{
    ask(Kind::Message, title, text);
}

void GuiPrompt::notify(const std::string& title, const std::string& text)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return;
        m_notices.emplace_back(title, text);
    }
    if (QThread::currentThread() == thread())
        listNotices();
}

void GuiPrompt::listNotices()
{
    std::vector<std::pair<std::string, std::string>> notices;
    {
        std::lock_guard lock(m_mutex);
        notices.swap(m_notices);
    }
    if (notices.empty())
        return;
    if (!m_messages)
        m_messages = new MessageWindow(m_owner);
    for (const auto& [title, text] : notices)
        m_messages->addMessage(QString::fromStdString(title), QString::fromStdString(text));
}

MessageWindow* GuiPrompt::messageWindow() const
{
    return m_messages.data();
}

bool GuiPrompt::askYesNo(const std::string& title, const std::string& text)
{
    return ask(Kind::YesNo, title, text) != 0;
}

FileExistsAnswer GuiPrompt::askFileExists(const std::string& text)
{
    return FileExistsAnswer(ask(Kind::FileExists, "File Exists", text));
}

int GuiPrompt::closingAnswer(Kind kind)
{
    return kind == Kind::FileExists ? int(FileExistsAnswer::CancelJob) : 0;
}

QDialog* GuiPrompt::makeBox(Kind kind, const std::string& title, const std::string& text,
                            QWidget* parent) const
{
    const QString message = QString::fromStdString(text);
    if (kind == Kind::FileExists) {
        auto* dialog = new FileExistsDialog(message, parent);
        dialog->setObjectName(kFileExistsName);
        return dialog;
    }
    auto* box = new QMessageBox(parent);
    box->setWindowTitle(QString::fromStdString(title));
    box->setText(message);
    if (kind == Kind::YesNo) {
        box->setObjectName(kQuestionBoxName);
        box->setIcon(QMessageBox::Question);
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::Yes);
        box->setEscapeButton(QMessageBox::No);
    } else {
        box->setObjectName(kMessageBoxName);
        box->setIcon(QMessageBox::Warning);
        box->setStandardButtons(QMessageBox::Ok);
    }
    return box;
}

int GuiPrompt::boxAnswer(Kind kind, QDialog* box)
{
    if (kind == Kind::FileExists)
        return box->result();
    if (kind == Kind::YesNo) {
        auto* message = static_cast<QMessageBox*>(box);
        return message->standardButton(message->clickedButton()) == QMessageBox::Yes ? 1 : 0;
    }
    return 0;
}

int GuiPrompt::ask(Kind kind, const std::string& title, const std::string& text)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return closingAnswer(kind);
    }
    if (QThread::currentThread() == thread())
        return askHere(kind, title, text);
    return askFromWorker(kind, title, text);
}

int GuiPrompt::askHere(Kind kind, const std::string& title, const std::string& text)
{
    std::unique_ptr<QDialog> box(makeBox(kind, title, text, m_owner));
    box->setWindowModality(Qt::WindowModal);
    box->exec();
    return boxAnswer(kind, box.get());
}

int GuiPrompt::askFromWorker(Kind kind, const std::string& title, const std::string& text)
{
    auto request = std::make_shared<Request>();
    request->kind = kind;
    request->title = title;
    request->text = text;
    std::unique_lock lock(m_mutex);
    if (m_closed)
        return closingAnswer(kind);
    m_pending.push_back(request);
    m_answered.wait(lock, [&] { return request->done; });
    return request->answer;
}

void GuiPrompt::openWaiting()
{
    std::vector<std::shared_ptr<Request>> waiting;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& request : m_pending)
            if (!request->opened && !request->done) {
                request->opened = true;
                waiting.push_back(request);
            }
    }
    for (const auto& request : waiting)
        openForWorker(request);
    listNotices();
}

void GuiPrompt::openForWorker(const std::shared_ptr<Request>& request)
{
    // Kind, title and text do not change once the request is listed.
    QDialog* box = makeBox(request->kind, request->title, request->text, nullptr);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    request->box = box;
    connect(box, &QDialog::finished, this,
            [this, request, box] { finish(request, boxAnswer(request->kind, box)); });
    box->show();
}

void GuiPrompt::finish(const std::shared_ptr<Request>& request, int answer)
{
    std::lock_guard lock(m_mutex);
    if (request->done)
        return;
    request->done = true;
    request->answer = answer;
    m_pending.erase(std::remove(m_pending.begin(), m_pending.end(), request), m_pending.end());
    m_answered.notify_all();
}

void GuiPrompt::shutDown()
{
    std::vector<std::shared_ptr<Request>> open;
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_notices.clear();
        open.swap(m_pending);
        for (const auto& request : open) {
            request->done = true;
            request->answer = closingAnswer(request->kind);
        }
        m_answered.notify_all();
    }
    // Boxes live on this thread; from elsewhere they go with the program.
    if (QThread::currentThread() != thread())
        return;
    m_poll.stop();
    for (const auto& request : open)
        if (request->box)
            request->box->close();
}

int GuiPrompt::pendingCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_pending.size());
}

} // namespace moxel::gui
