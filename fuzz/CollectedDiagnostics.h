// The diagnostic lines of one fuzz run: installed on the calling thread for
// the object's life, it keeps every line the code under test emits there, so
// an entry can check what was written and nothing reaches the console.
#pragma once

#include "base/DiagnosticSink.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace moxel::fuzz {

class CollectedDiagnostics {
  public:
    CollectedDiagnostics();
    ~CollectedDiagnostics();
    CollectedDiagnostics(const CollectedDiagnostics&) = delete;
    CollectedDiagnostics& operator=(const CollectedDiagnostics&) = delete;

    // The lines with this tag, in order, that contain needle.
    std::vector<std::string> lines(std::string_view tag, std::string_view needle = {}) const;

  private:
    class Sink;
    std::shared_ptr<Sink> m_sink;
    ScopedDiagnosticSink m_use;
};

} // namespace moxel::fuzz
