// The place of one codec settings panel in the encoder configuration: a frame
// in the dialog, the panel the plug-ins gave for the current format (or none)
// and the dialog's field that records it while it exists. The panel's
// top-left corner is the frame's and it keeps the size it chose.
#pragma once

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>

namespace moxel {

class CodecPanelSlot {
  public:
    // ask(parent, format) returns the first plug-in panel for format, or null.
    using Ask = std::function<QWidget*(QWidget* parent, uint32_t format)>;

    CodecPanelSlot(QWidget* frame, Ask ask, QWidget** recordField);

    // Destroys the panel there is and asks the plug-ins for one for format.
    void recreate(uint32_t format);
    // Destroys the panel, at once: a plug-in writes its settings by then.
    void destroy();

    QWidget* frame() const { return m_frame; }
    QWidget* panel() const { return m_panel; }

  private:
    QWidget* m_frame;
    Ask m_ask;
    QWidget** m_recordField;
    QPointer<QWidget> m_panel; // null also when a plug-in deleted its panel itself
};

} // namespace moxel
