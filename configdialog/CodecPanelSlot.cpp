#include "configdialog/CodecPanelSlot.h"

#include <QLayout>
#include <QVBoxLayout>

namespace moxel {

CodecPanelSlot::CodecPanelSlot(QWidget* frame, Ask ask, QWidget** recordField)
    : m_frame(frame), m_ask(std::move(ask)), m_recordField(recordField)
{
    auto* layout = new QVBoxLayout(m_frame);
    layout->setContentsMargins(0, 0, 0, 0);
}

void CodecPanelSlot::recreate(uint32_t format)
{
    destroy();
    m_panel = m_ask(m_frame, format);
    *m_recordField = m_panel;
    if (m_panel == nullptr)
        return;
    m_panel->setAttribute(Qt::WA_ShowWithoutActivating);
    m_frame->layout()->addWidget(m_panel);
    m_frame->layout()->setAlignment(m_panel, Qt::AlignLeft | Qt::AlignTop);
    m_panel->show();
}

void CodecPanelSlot::destroy()
{
    QWidget* panel = m_panel.data();
    m_panel.clear();
    *m_recordField = nullptr;
    delete panel;
}

} // namespace moxel
