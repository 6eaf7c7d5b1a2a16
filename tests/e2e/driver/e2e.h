#pragma once

// The end-to-end driver: start a program, wait for its windows, read and operate their
// controls, answer its message boxes, check what it left behind, take screenshots.
// A scenario reads like a user's walk:
//
//   e2e::App app = e2e::App::Start(e2e::HostPath(KORU_SETUP_EXE));
//   e2e::Window wizard = app.WaitForWindow({.caption = "セットアップ"});
//   EXPECT_EQ(wizard.ById(1001).Bounds(), (e2e::Rect{16, 200, 116, 224}));
//   wizard.Click(1001);
//   e2e::Answer({.text = "インストールしますか？", .button = e2e::Button::kYes});
//   EXPECT_EQ(app.WaitForExit(), 0u);
//
// Every narrow string is Shift-JIS (report.h); a failed step throws e2e::StepFailed with
// every window and control in its message.

#include "e2e/driver/app.h"
#include "e2e/driver/dialogs.h"
#include "e2e/driver/report.h"
#include "e2e/driver/screenshot.h"
#include "e2e/driver/system_state.h"
#include "e2e/driver/window.h"
