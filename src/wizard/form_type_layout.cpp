// The wizard's layout at design size (client 497 x 336): the notebook fills the area
// above the separator, the buttons sit at the bottom right.

#include "wizard/form_type.h"

namespace koru {
namespace {

using platform::ControlKind;
using platform::ControlSpec;

constexpr ControlSpec kLayout[] = {
    // "Hello"
    {kIdEditHello, ControlKind::kRichEdit, "", {12, 12, 473, 268}, kPageHello},
    // "License"
    {kIdLabel2,
     ControlKind::kLabel,
     "以下のライセンス同意書をお読みください。セットアップを継続するには、必ず全ての契約条項",
     {12, 10, 478, 14},
     kPageLicense},
    {kIdLabel4,
     ControlKind::kLabel,
     "に同意しなければなりません。",
     {12, 26, 478, 14},
     kPageLicense},
    {kIdEditLicense, ControlKind::kRichEdit, "", {12, 46, 473, 206}, kPageLicense},
    {kIdCheckLicense, ControlKind::kCheckBox, "同意する(&P)", {12, 260, 200, 18}, kPageLicense},
    // "Media"
    {kIdLabelDisk, ControlKind::kLabel, "", {24, 24, 449, 14}, kPageMedia},
    {kIdRadioDiskAll, ControlKind::kRadioButton, "", {40, 60, 400, 18}, kPageMedia},
    {kIdRadioDiskThis, ControlKind::kRadioButton, "", {40, 86, 400, 18}, kPageMedia},
    // "file"
    {kIdLabel1,
     ControlKind::kLabel,
     "インストールするファイルを選択してください",
     {24, 24, 449, 14},
     kPageFile},
    {kIdCheckProg, ControlKind::kCheckBox, "プログラム", {40, 56, 240, 18}, kPageFile},
    {kIdCheckData, ControlKind::kCheckBox, "シナリオ・グラフィック", {40, 80, 240, 18}, kPageFile},
    {kIdCheckSound, ControlKind::kCheckBox, "サウンド", {40, 104, 240, 18}, kPageFile},
    {kIdCheckMovie, ControlKind::kCheckBox, "ムービー", {40, 128, 240, 18}, kPageFile},
    {kIdLabelSize, ControlKind::kLabel, "", {24, 252, 449, 14}, kPageFile},
    // "seldir"
    {kIdLabel3,
     ControlKind::kLabel,
     "インストール先を選択してください",
     {20, 12, 457, 14},
     kPageSelDir},
    {kIdEditDir, ControlKind::kEdit, "", {20, 32, 457, 21}, kPageSelDir},
    {kIdDirectory, ControlKind::kDirectoryList, "", {20, 60, 457, 148}, kPageSelDir},
    {kIdDrive, ControlKind::kDriveCombo, "", {20, 214, 220, 22}, kPageSelDir},
    {kIdLabelSzDrv, ControlKind::kLabel, "", {20, 246, 457, 14}, kPageSelDir},
    {kIdLabelSzNeed, ControlKind::kLabel, "", {20, 266, 457, 14}, kPageSelDir},
    // "confirm"
    {kIdLabel5,
     ControlKind::kLabel,
     "ファイルをコピーする準備が整いました",
     {20, 24, 470, 14},
     kPageConfirm},
    {kIdLabelBack,
     ControlKind::kLabel,
     "[インストール] をクリックするとコピーを開始します。設定を確認・変更したい場合は [戻る] を",
     {20, 60, 470, 14},
     kPageConfirm},
    {kIdLabelBack2, ControlKind::kLabel, "クリックしてください", {20, 76, 470, 14}, kPageConfirm},
    // "copy"
    {kIdLabelCopyCap,
     ControlKind::kLabel,
     "ファイルをコピーしています",
     {24, 24, 449, 14},
     kPageCopy},
    {kIdLabelCopy, ControlKind::kLabel, "", {24, 108, 449, 14}, kPageCopy},
    {kIdProgress, ControlKind::kProgressBar, "", {24, 128, 449, 18}, kPageCopy},
    // "exit"
    {kIdLabelExit, ControlKind::kLabel, "インストールが完了しました", {24, 24, 449, 14}, kPageExit},
    // "uninst"
    {kIdLabelUninst, ControlKind::kLabel, "", {24, 24, 449, 14}, kPageUninst},
    {kIdLabel7,
     ControlKind::kLabel,
     "[実行] をクリックすると削除処理を開始します",
     {24, 48, 449, 14},
     kPageUninst},
    {kIdCheckDelSave, ControlKind::kCheckBox, "セーブデータも削除", {24, 80, 240, 18}, kPageUninst},
    // "delete"
    {kIdLabelDelTitle, ControlKind::kLabel, "", {24, 24, 449, 14}, kPageDelete},
    {kIdLabelDel, ControlKind::kLabel, "", {24, 60, 449, 14}, kPageDelete},
    // Below the notebook.
    {kIdSeparator, ControlKind::kSeparator, "", {8, 290, 481, 2}},
    {kIdBtnBack, ControlKind::kButton, "< 戻る(&B)", {236, 302, 80, 24}},
    {kIdBtnNext, ControlKind::kDefaultButton, "次へ(&N) >", {316, 302, 80, 24}},
    {kIdBtnAbort, ControlKind::kButton, "中断(&A)", {408, 302, 80, 24}},
};

// Index = page.
constexpr const char* kPageCaptions[kPageCount] = {
    "ようこそ",
    "ライセンス契約",
    "インストールする%s",
    "インストールするファイル",
    "インストール先の選択",
    "インストール準備完了",
    "ファイルコピー",
    "完了",
    "アンインストール",
    "削除",
};

}  // namespace

std::span<const ControlSpec> TFormType::Layout() { return kLayout; }

const char* TFormType::PageCaption(int page) {
  return page >= 0 && page < kPageCount ? kPageCaptions[page] : "";
}

}  // namespace koru
