#pragma once
// The main window: its controls built from the layout table, its state, and
// the handlers of every command. Handler bodies live with their subsystems.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/application.h"
#include "components/component.h"
#include "ui/layout.h"
#include "win/handle.h"
#include "win/window.h"

namespace kv {

class TAdvancedTimer;
class TFindFile;

struct FormOptions {
    HMODULE resourceModule = nullptr;       // where the tool files and art are; null: the program itself
    std::vector<std::string> parameters;    // the command-line parameters, for a second copy to pass on
    std::function<void()> terminateSelf;    // the close button's last step; null: end the process
};

class TfrmMain : public win::Window, public TComponent {
public:
    TfrmMain(TApplication& app, FormOptions options = {});
    ~TfrmMain() override;

    void Show();

    // Main-window state.
    bool Busy = false;
    std::string TempDir, WorkDir, AppDir, FfmpegPath, MediaInfoPath, LastFolder;
    double OutputRateKB = 0.0;
    std::int64_t ExpectedSize = 0;
    int CurrentJob = 0;
    std::int64_t LastSize = 0;
    std::string OutputPath, InputPath, FfmpegArgs;

    // Handlers.
    void FormCreate();
    void FormShow();
    void FormDestroy();
    void Image1MouseDown(int button, int x, int y);
    void EzRgnBtn1Click();
    void EzRgnBtn2Click();

    // Controls by name.
    [[nodiscard]] HWND Control(std::string_view name) const;
    [[nodiscard]] std::string ControlText(std::string_view name) const;
    void SetControlText(std::string_view name, const std::string& text);

    TApplication& Application() noexcept { return app_; }
    IDialogs& Dialogs() noexcept { return app_.Dialogs(); }

    // Event tables filled by each subsystem; the layout names what to bind.
    using ClickHandler = std::function<void()>;
    using KeyPressHandler = std::function<void(wchar_t& key)>;
    using KeyDownHandler = std::function<void(WORD& key, UINT shift)>;
    using MouseDownHandler = std::function<void(int button, int x, int y)>;
    using CustomDrawHandler = std::function<LRESULT(NMLVCUSTOMDRAW& draw)>;
    std::map<std::string, ClickHandler, std::less<>> ClickHandlers;
    std::map<std::string, KeyPressHandler, std::less<>> KeyPressHandlers;
    std::map<std::string, KeyDownHandler, std::less<>> KeyDownHandlers;
    std::map<std::string, MouseDownHandler, std::less<>> MouseDownHandlers;
    std::map<std::string, CustomDrawHandler, std::less<>> CustomDrawHandlers;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    struct Graphic {
        const ui::ControlDef* def;
        RECT rect;
    };

    void RegisterHandlers();
    void BuildControls();
    void CreateWindowed(const ui::ControlDef& def);
    void PaintGraphics(HDC dc);
    const Graphic* GraphicAt(POINT pt) const;
    void RunClick(std::string_view handler);
    void DeleteToolFiles(bool batchFileFourth);
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

    TApplication& app_;
    FormOptions options_;
    win::UniqueFont font_, boldFont_;
    std::map<std::string, HWND, std::less<>> controls_;
    std::map<HWND, const ui::ControlDef*> defsByHwnd_;
    std::vector<Graphic> graphics_;
    std::map<std::string, win::UniqueBitmap, std::less<>> pictures_;
    bool destroyed_ = false;
};

}  // namespace kv
