// Every text the program's windows show of their own, once: window and box
// captions, control and menu captions, the dialogs' filters, the messages, the
// About box's lines, the font face and the icons. UTF-8. The messages for a file
// side with no name are the console run's too (settings/run_settings.h), under the
// engine's error caption; the engine's messages are in engine/messages.h.
#pragma once

#include "engine/messages.h"

namespace velkar::texts {

// --- The program ---
inline constexpr char kProgramCaption[] = "VELKAR";  // the main window, the About box
inline constexpr char kProductName[] = "VELKAR.EXE";
inline constexpr char kDescription[] = "テキストソートユーティリティ";  // also the status line
inline constexpr char kNotice[] = "(C) 2026 The VELKAR developers, MIT License";
inline constexpr char kVersionLabel[] = "Version";  // until the version is written in
inline constexpr char kOk[] = "OK";

// --- Look: the face every window uses, its size, the face Linux has in its place,
// and the program's icon in its two sizes ---
inline constexpr char kFontFace[] = "ＭＳ Ｐゴシック";
inline constexpr int kFontPixels = 12;
inline constexpr char kFontSubstitute[] = "IPAPGothic";
inline constexpr char kIconPath[] = ":/velkar/velkar-32.png";
inline constexpr char kSmallIconPath[] = ":/velkar/velkar-16.png";

// --- The main window's controls ---
inline constexpr char kSortOrder[] = "ソート順指定";
inline constexpr char kAscending[] = "昇順ソート";
inline constexpr char kDescending[] = "降順ソート";
inline constexpr char kOptionsPage[] = "ソートオプション";
inline constexpr char kIgnoreCase[] = "英大文字小文字同一視";
inline constexpr char kUnique[] = "重複行削除";
inline constexpr char kKeyPage[] = "ソートキー";
inline constexpr char kFirstPosition[] = "1";
inline constexpr char kByColumn[] = "バイト（桁）";
inline constexpr char kByField[] = "フィールド";
inline constexpr char kAsText[] = "文字列";
inline constexpr char kAsNumber[] = "数値";
inline constexpr char kInputGroup[] = "ソート対象";
inline constexpr char kOutputGroup[] = "ソート結果の保存先";
inline constexpr char kClipboard[] = "クリップボード";
inline constexpr char kFile[] = "ファイル";
inline constexpr char kBrowse[] = "参照";
inline constexpr char kExecute[] = "実行";
inline constexpr char kClose[] = "閉じる";

// --- The menu; '&' marks the access letter ---
inline constexpr char kFileMenu[] = "&File";
inline constexpr char kOpenItem[] = "&Open";
inline constexpr char kExitItem[] = "e&Xit";
inline constexpr char kHelpMenu[] = "&Help";
inline constexpr char kContentsItem[] = "&Contents";
inline constexpr char kSearchItem[] = "&Search";
inline constexpr char kAboutItem[] = "&About";

// --- The file dialogs' filters: "description|patterns|..." ---
inline constexpr char kOpenFilter[] =
    "テキストファイル(*.TXT,*.CSV)|*.TXT;*.CSV|すべてのファイル(*.*)|*.*";
inline constexpr char kSaveFilter[] =
    "テキストファイル(*.TXT, *.CSV)|*.TXT;*.CSV|すべてのファイル(*.*)|*.*";

// --- Messages of the main window, with their captions ---
// A file side chosen with no name (RunSettings::MissingName) is told under the
// engine's error caption.
inline constexpr const auto& kRequestCaption = velkar::kErrorCaption;
inline constexpr char kRunning[] = "ソート実行中！";  // the status line during a run
inline constexpr char kSortPosCaption[] = "SortPosEdit->Text";
inline constexpr char kNotANumberCaption[] = "ERROR";
inline constexpr char kNotANumber[] = "数値を入力してください";

// --- The help viewer ---
inline constexpr char kHelpCaption[] = "VELKAR ヘルプ";
inline constexpr char kContentsButton[] = "目次";
// The index: its button, and the heading over it in the help file.
inline constexpr char kIndexButton[] = "索引";
// %1: the help file's name.
inline constexpr char kHelpMissing[] = "ヘルプファイル「%1」が見つかりません。";

}  // namespace velkar::texts
