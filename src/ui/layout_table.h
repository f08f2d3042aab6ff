#pragma once
// The layout's tables themselves, visible at build time: the window checks
// there that every handler name it lists is bound.
#include <array>
#include <string_view>

#include "ui/layout.h"

namespace kv::ui {

inline constexpr Bindings kDrag{.mouseDown = "Image1MouseDown"};

// One control per line, as a table reads.
// clang-format off
inline constexpr std::array kLayout{
    // Pictures and labels, drawn on the window itself.
    ControlDef{Kind::Picture, "Image1", 0, 0, 503, 480, "", lkNone, "background", "", kDrag},
    ControlDef{Kind::Label, "Label2", 278, 16, 0, 13, "Batch Renamer", lkBold | lkHandPointer | lkAutoWidth | lkLink, "", "",
               {.click = "Label2Click", .mouseEnter = "Label2MouseEnter", .mouseLeave = "Label2MouseLeave"}},
    ControlDef{Kind::Label, "Label3", 382, 16, 45, 13, "Support", lkBold | lkHandPointer | lkLink, "", "",
               {.click = "Label3Click", .mouseEnter = "Label3MouseEnter", .mouseLeave = "Label3MouseLeave"}},
    ControlDef{Kind::Label, "Label4", 19, 450, 0, 13, "Audio Joiner", lkBold | lkHandPointer | lkAutoWidth | lkLink, "", "",
               {.click = "Label4Click", .mouseEnter = "Label4MouseEnter", .mouseLeave = "Label4MouseLeave"}},
    ControlDef{Kind::Label, "Label5", 138, 450, 0, 13, "Tag Editor", lkBold | lkHandPointer | lkAutoWidth | lkLink, "", "",
               {.click = "Label5Click", .mouseEnter = "Label5MouseEnter", .mouseLeave = "Label5MouseLeave"}},
    ControlDef{Kind::Label, "Label6", 240, 450, 0, 13, "Clip Cutter", lkBold | lkHandPointer | lkAutoWidth | lkLink, "", "",
               {.click = "Label6Click", .mouseEnter = "Label6MouseEnter", .mouseLeave = "Label6MouseLeave"}},
    ControlDef{Kind::Label, "Label7", 366, 450, 0, 13, "Disc Ripper", lkBold | lkHandPointer | lkAutoWidth | lkLink, "", "",
               {.click = "Label7Click", .mouseEnter = "Label7MouseEnter", .mouseLeave = "Label7MouseLeave"}},
    ControlDef{Kind::Label, "Label8", 448, 428, 24, 13, "MP3", lkBold},
    ControlDef{Kind::Picture, "Image2", 16, 12, 214, 53, "", lkNone, "logo", "", kDrag},
    ControlDef{Kind::Label, "Label1", 158, 16, 0, 13, "More Tools", lkBold | lkHandPointer | lkAutoWidth | lkLink, "", "",
               {.click = "Label1Click", .mouseEnter = "Label1MouseEnter", .mouseLeave = "Label1MouseLeave"}},
    ControlDef{Kind::Picture, "Image3", 280, 381, 198, 45, "", lkNone, "banner", "", kDrag},
    ControlDef{Kind::Label, "Label10", 16, 64, 99, 13, "Select single MP4 file"},
    ControlDef{Kind::Label, "Label11", 16, 102, 157, 13, "Select folder containing MP4 files"},
    ControlDef{Kind::Label, "Label12", 16, 139, 95, 13, "Select output folder"},
    ControlDef{Kind::Label, "Label13", 16, 179, 275, 13, "Files to convert (DEL to remove selected file from the list)"},
    // Windowed controls, above the pictures and labels.
    ControlDef{Kind::Edit, "Edit1", 16, 79, 360, 21, "", lkNone, "", "", {.keyPress = "Edit1KeyPress"}, "Select single MP4 file"},
    ControlDef{Kind::Edit, "Edit2", 16, 117, 360, 21, "", lkNone, "", "", {.keyPress = "Edit2KeyPress"}, "Select folder containing MP4 files"},
    ControlDef{Kind::Edit, "Edit3", 16, 155, 360, 21, "", lkNone, "", "", {.keyPress = "Edit3KeyPress"}, "Select output folder"},
    ControlDef{Kind::Button, "Button1", 384, 77, 103, 25, "&Add MP4 File", lkNone, "", "", {.click = "Button1Click"}},
    ControlDef{Kind::Button, "Button2", 384, 115, 103, 25, "Add &Folder", lkNone, "", "", {.click = "Button2Click"}},
    ControlDef{Kind::Button, "Button3", 384, 153, 103, 25, "&Browse", lkNone, "", "", {.click = "Button3Click"}},
    ControlDef{Kind::RegionButton, "EzRgnBtn2", 464, 13, 23, 23, "", lkCrop | lkHandPointer, "close", "Close",
               {.click = "EzRgnBtn2Click"}, "Close"},
    ControlDef{Kind::RegionButton, "EzRgnBtn1", 437, 13, 23, 23, "", lkCrop | lkHandPointer, "minimize", "Minimize",
               {.click = "EzRgnBtn1Click"}, "Minimize"},
    ControlDef{Kind::RegionButton, "EzRgnBtn3", 436, 384, 41, 42, "", lkCrop | lkHandPointer, "convert",
               "Convert the pending files to MP3", {.click = "EzRgnBtn3Click"}, "Convert to MP3"},
    ControlDef{Kind::ListView, "ListView1", 15, 196, 473, 173, "", lkHandPointer, "", "",
               {.click = "ListView1Click", .keyDown = "ListView1KeyDown",
                .customDraw = "d4_ListViewCustomDrawSubItem"}, "Files to convert"},
    ControlDef{Kind::ClickPanel, "TranPanel1", 16, 12, 137, 30, "", lkHandPointer | lkLink, "", "",
               {.click = "TranPanel1Click"}, "Korvello Labs"},
    ControlDef{Kind::ClickPanel, "TranPanel2", 16, 40, 216, 23, "", lkHandPointer | lkLink, "", "",
               {.click = "TranPanel2Click"}, "Korvello home page"},
    // Working stores, right of the client area and outside the window's shape.
    ControlDef{Kind::Label, "Label17", 544, 56, 0, 13, "Keep WorkDir Name", lkHiddenStore | lkAutoWidth},
    ControlDef{Kind::Edit, "Edit4", 544, 72, 201, 21, "", lkHiddenStore},
    ControlDef{Kind::Label, "Label16", 544, 104, 0, 13, "Used for mediainfo, to make open.bat", lkHiddenStore | lkAutoWidth},
    ControlDef{Kind::Memo, "Memo3", 544, 120, 185, 89, "", lkHiddenStore},
    ControlDef{Kind::Label, "Label14", 544, 216, 0, 13, "File Paths", lkHiddenStore | lkAutoWidth},
    ControlDef{Kind::ListBox, "ListBox1", 544, 232, 121, 97, "", lkHiddenStore},
    ControlDef{Kind::Label, "Label15", 696, 216, 0, 13, "Duration (sec)", lkHiddenStore | lkAutoWidth},
    ControlDef{Kind::ListBox, "ListBox2", 696, 232, 96, 97, "", lkHiddenStore},
};

inline constexpr std::array<std::string_view, 7> kTabOrder{"Button1",   "Button2",   "Button3",  "ListView1",
                                                    "EzRgnBtn3", "EzRgnBtn1", "EzRgnBtn2"};

inline constexpr std::array kColumns{
    ColumnDef{"Type", 40},
    ColumnDef{"File Name (click to view)", 154},
    ColumnDef{"Progress", 65},
    ColumnDef{"Converted File (click to open)", 156},
    ColumnDef{"DEL", 34},
};
// clang-format on

// The publisher's pages. The addresses live under a reserved domain until the
// publisher's site exists.
inline constexpr std::array kLinks{
    LinkDef{"Label1", "More Tools", "https://www.korvello.example/more-tools"},
    LinkDef{"Label2", "Batch Renamer", "https://www.batch-renamer.example/"},
    LinkDef{"Label3", "Support", "https://www.korvello.example/support"},
    LinkDef{"Label4", "Audio Joiner", "https://www.korvello.example/audio-joiner"},
    LinkDef{"Label5", "Tag Editor", "https://www.korvello.example/tag-editor"},
    LinkDef{"Label6", "Clip Cutter", "https://www.korvello.example/clip-cutter"},
    LinkDef{"Label7", "Disc Ripper", "https://www.disc-ripper.example/"},
    LinkDef{"TranPanel1", "", "https://www.korvello.example/"},
    LinkDef{"TranPanel2", "", "https://www.korvello.example/"},
};

}  // namespace kv::ui
