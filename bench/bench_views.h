#pragma once

#include "common/message_box.h"
#include "common/operation_view.h"

#include <cstdio>
#include <string>

// What the transfer benchmarks hand the operations: a view that keeps only
// the last status line (its rate is read after a run) and a box that prints.
class CLastStatusView final : public COperationView {
public:
    void SetStatus(const std::string& text) override { last = text; }
    void SetProgress(int) override {}
    void SetWaitCursor(bool) override {}
    std::string last;
};

class CPrintingBox final : public CMessageBox {
public:
    EMsgResult Show(const std::string& text, const std::string& caption, EMsgIcon, EMsgButtons) override
    {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return EMsgResult::Ok;
    }
};
