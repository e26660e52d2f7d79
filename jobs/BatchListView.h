// The list view the batch list shows its jobs in: a multi-selection list of
// rows with five columns. The desktop program implements it over its widget;
// tests implement it in memory. Every row carries its job's index as item
// data, through which the batch list finds the job of a row.
#pragma once

#include <cstdint>
#include <string>

namespace moxel {

enum class BatchColumn : int {
    Source = 0,  // "Source": sourcePath
    Dest = 1,    // "Dest": destPath
    Profile = 2, // "Profile": the friendly_name of profileIndex
    Status = 3,  // "Status": the status text
    Meta = 4,    // "Meta": left empty
};

inline constexpr int kBatchColumnCount = 5;

class BatchListView {
  public:
    virtual ~BatchListView() = default;

    virtual void deleteAllRows() = 0;
    // Appends a row whose Source cell is text; the other cells are empty.
    virtual void appendRow(const std::string& text, int64_t itemData) = 0;
    virtual int rowCount() const = 0;
    virtual int64_t itemData(int row) const = 0;
    virtual std::string cellText(int row, BatchColumn column) const = 0;
    virtual void setCellText(int row, BatchColumn column, const std::string& text) = 0;

    virtual bool isSelected(int row) const = 0;
    virtual void setSelected(int row, bool selected) = 0;
    virtual bool isFocused(int row) const = 0;
    // Gives row the focus (the previous focused row loses it).
    virtual void setFocused(int row) = 0;

    // Index of the first visible row (0 for an empty view).
    virtual int firstVisibleRow() const = 0;
    // Scrolls so that row is the first visible row, as far as possible.
    virtual void scrollToRow(int row) = 0;
};

} // namespace moxel
