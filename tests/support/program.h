#pragma once
// The application and its main window as the program builds them, in-process,
// with the dialogs answered by the test, the close button's end stubbed and the
// shortcut menu closed unchosen.
#include <memory>
#include <string>

#include "app/application_win.h"
#include "support/win_test_util.h"
#include "ui/main_form_win.h"

namespace kvtest {

struct Program {
    kv::TApplication app;
    FakeDialogs* dialogs = nullptr;
    std::unique_ptr<kv::TfrmMain> form;

    explicit Program(kv::FormOptions options = {}) {
        auto d = std::make_unique<FakeDialogs>();
        dialogs = d.get();
        app.SetDialogs(std::move(d));
        app.SetTitle("Korvello");
        app.Initialize();
        if (!options.terminateSelf) options.terminateSelf = [] {};
        // A real shortcut menu is modal: nobody would close it.
        if (!options.trackMenu) options.trackMenu = [](HMENU, POINT) { return 0u; };
        form = std::make_unique<kv::TfrmMain>(app, std::move(options));
    }
};

// The test media made by tests/make_media.sh (KV_MEDIA_DIR, a Unix path seen through Wine's Z: drive).
std::filesystem::path MediaFile(const std::string& name);
bool MediaAvailable();

}  // namespace kvtest
