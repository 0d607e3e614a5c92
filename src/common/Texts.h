#pragma once

#include <array>
#include <string_view>

// Every text the user sees, byte for byte, in the narrow code page (UTF-8 source). Message
// texts join their lines with CR LF.
namespace texts {

inline constexpr std::string_view settingsFileName = "Kelvoran.ini";
inline constexpr std::string_view settingsSection = "KansiDir";
inline constexpr std::string_view settingsKey = "fullpath";
// The louder channels' switches, in a section of their own.
inline constexpr std::string_view channelSection = "Tsuuchi";
inline constexpr std::string_view trayKey = "tray";
inline constexpr std::string_view popupKey = "popup";
inline constexpr std::string_view soundKey = "sound";
inline constexpr std::string_view soundFileKey = "soundfile";
// The reminders: minutes an arrival may wait, the time something should have come by, its days.
inline constexpr std::string_view waitKey = "taiki";
inline constexpr std::string_view deadlineKey = "kigen";
inline constexpr std::string_view deadlineDaysKey = "kigenyoubi";
// Closing the window hides it in the notification area rather than ending the tool.
inline constexpr std::string_view closeToTrayKey = "closetotray";
// Name patterns ("*", "?", parted by ";") of entries left out of the notices; when the key is
// missing, the systems' own and the common partial-transfer names.
inline constexpr std::string_view leftOutKey = "mushi";
inline constexpr std::string_view leftOutDefault =
    "~$*;*.tmp;*.part;*.partial;*.crdownload;*.download;.~lock.*#;Thumbs.db;desktop.ini;.DS_Store";
// kigenyoubi's day names, Sunday first.
inline constexpr std::array<std::string_view, 7> weekdays{"日", "月", "火", "水", "木", "金", "土"};

// Status texts of the arrival poll, shown as caption and taskbar text.
inline constexpr std::string_view statusArrival = "着信！";
inline constexpr std::string_view statusWatching = "監視中・・・・";
inline constexpr std::string_view statusNoFolder = "指定したフォルダは存在しません！";
// Added to both texts while the folder (or the settings file) has not answered for five seconds,
// as the system marks a window that stopped answering.
inline constexpr std::string_view noAnswerMark = " (応答なし)";

// The notification-area icon's tooltip and the arrival notification: "着信！ 3 件 (14:32 から)".
inline constexpr std::string_view entriesBefore = " ";
inline constexpr std::string_view entriesAfter = " 件";
inline constexpr std::string_view sinceBefore = " (";
inline constexpr std::string_view sinceAfter = " から)";
// What arrived, newest first, beside the count: "report.csv, data.zip ほか 1 件".
// The tooltip's count of the entries left out of the notices: "（除外 2 件）".
inline constexpr std::string_view leftOutBefore = "（除外 ";
inline constexpr std::string_view leftOutAfter = " 件）";
inline constexpr std::string_view namesSeparator = ", ";
inline constexpr std::string_view othersBefore = " ほか ";
// The notification when the watched folder is lost (the missing folder's is its status text),
// followed by the folder.
inline constexpr std::string_view folderNotAnswering = "監視フォルダが応答しません！";
// The reminder of entries left waiting: "60 分以上前から残っています（現在 3 件）". The folder has
// held entries that long; each of them may not have.
inline constexpr std::string_view waitingTitle = "着信したデータが残っています！";
inline constexpr std::string_view waitingMinutesAfter = " 分以上前から残っています（現在 ";
inline constexpr std::string_view waitingEntriesAfter = " 件）";
// The reminder of a delivery that did not come: "09:30 までに着信はありませんでした", with
// "（08:12 から監視）" when the tool started the same day, and the note when it could not look at
// the time (the machine slept, the clock jumped, the folder did not answer); the icon's tooltip keeps "09:30
// までの着信なし" until something arrives or the day ends.
inline constexpr std::string_view notArrivedTitle = "着信がありません！";
inline constexpr std::string_view notArrivedAfter = " までに着信はありませんでした";
inline constexpr std::string_view watchedSinceBefore = "（";
inline constexpr std::string_view watchedSinceAfter = " から監視）";
inline constexpr std::string_view notArrivedUnseen = "（この時刻には確認できませんでした）";
inline constexpr std::string_view notArrivedTooltipAfter = " までの着信なし";
// The menu of the notification-area icon and of the main window.
inline constexpr std::string_view menuOpenFolder = "フォルダを開く";
inline constexpr std::string_view menuPopup = "通知を表示する";
inline constexpr std::string_view menuSound = "音を鳴らす";
inline constexpr std::string_view menuStartAtLogin = "ログイン時に起動";
// The submenu that quiets the tool for a while, and the tooltip's line meanwhile: "一時停止中
// （15:30 まで）".
inline constexpr std::string_view menuPause = "一時停止";
inline constexpr std::string_view menuPauseHour = "1 時間";
inline constexpr std::string_view menuPauseToDayEnd = "今日の終わりまで";
inline constexpr std::string_view menuResume = "再開";
inline constexpr std::string_view pausedBefore = "一時停止中（";
inline constexpr std::string_view pausedUntilAfter = " まで）";
inline constexpr std::string_view pausedToDayEnd = "一時停止中（今日の終わりまで）";
inline constexpr std::string_view menuSettings = "設定…";
// Picks the watched folder in the system's folder picker, which has the title without the "…".
inline constexpr std::string_view menuPickFolder = "監視フォルダの選択…";
inline constexpr std::string_view folderPickerTitle = "監視フォルダの選択";
// Over the tray menu while the window is hidden in the tray: trays whose click opens the menu
// have no other way back.
inline constexpr std::string_view menuShowWindow = "ウィンドウを表示";
inline constexpr std::string_view menuExit = "終了";
// The submenu of the day's arrivals: each "14:32  name", or the one greyed line when none came.
inline constexpr std::string_view menuToday = "本日の着信";
inline constexpr std::string_view todayTimeSeparator = "  ";
inline constexpr std::string_view todayNone = "（まだありません）";
// The arrival notification's button that shows the main window (beside menuOpenFolder's).
inline constexpr std::string_view noticeShowWindow = "表示";
// フォルダを開く failed (no file manager, or the system refused): the notification's title, or the
// failure box's text followed by the folder.
inline constexpr std::string_view openFolderFailed = "フォルダを開けませんでした！\r\n\r\n";
// Why, on the line under the folder: xdg-open is missing, it knows no program for folders, that
// program failed, the folder is not there (a file may have taken its name); else xdg-open's exit
// status follows the last text.
inline constexpr std::string_view openFolderNoOpener = "フォルダを開くプログラム（xdg-open）がありません。";
inline constexpr std::string_view openFolderNoHandler = "フォルダを開くファイルマネージャーが設定されていません。";
inline constexpr std::string_view openFolderHandlerFailed = "ファイルマネージャーがフォルダを開けませんでした。";
inline constexpr std::string_view openFolderNotFolder = "フォルダが見つかりません。";
inline constexpr std::string_view openFolderOpenerFailed = "xdg-open が失敗しました。終了コード：";

// ログイン時に起動 could not be turned over: followed by the system's reason, or (not own) by the
// entry, made by hand, that starts the tool.
inline constexpr std::string_view loginStartFailed = "ログイン時の起動を設定できませんでした！\r\n\r\n";
inline constexpr std::string_view loginPathUnwritable =
    "実行ファイルまたはフォルダのパスに、ログイン時の起動の登録に書けない文字（%、制御文字、UTF-8 "
    "でない文字）が含まれています。";
inline constexpr std::string_view loginStartNotOwn =
    "ログイン時の起動は Kelvoran "
    "が作成していない登録によるものです。\r\n解除するにはこの登録を削除して下さい：\r\n\r\n";

// The settings dialog, opened by menuSettings: its title (a word, as the boxes' titles), the
// fields in the order they stand and Tab visits them ("&" marks the access key), the hints after
// the reminders' fields, and the line a value the dialog refuses gets beside its field.
inline constexpr std::string_view settingsTitle = "Settings";
inline constexpr std::string_view settingsTray = "通知領域にアイコンを表示する(&I)";
inline constexpr std::string_view settingsPopup = "通知を表示する(&N)";
inline constexpr std::string_view settingsSound = "音を鳴らす(&S)";
inline constexpr std::string_view settingsSoundFile = "サウンドファイル（空欄はシステムの音）(&F):";
inline constexpr std::string_view settingsBrowse = "参照(&B)...";
inline constexpr std::string_view settingsPlay = "再生(&P)";
inline constexpr std::string_view settingsStartAtLogin = "ログイン時に起動(&L)";
inline constexpr std::string_view settingsWait = "着信したデータが残っていたら知らせる(&W)";
inline constexpr std::string_view settingsWaitUnit = "分ごと（1 から 1440）";
inline constexpr std::string_view settingsDeadline = "着信がなければ知らせる(&D)";
inline constexpr std::string_view settingsDeadlineUnit = "までに（例 9:30）";
inline constexpr std::string_view settingsLeftOut = "通知しない名前（; で区切る）(&M):";
inline constexpr std::string_view settingsCloseToTray = "閉じるボタンで通知領域に格納する(&C)";
inline constexpr std::string_view settingsOk = "OK";
inline constexpr std::string_view settingsCancel = "Cancel";
inline constexpr std::string_view soundFileRefused = "ファイル名に使用できない文字が含まれています！";
inline constexpr std::string_view soundFileTooLong = "ファイル名が長すぎます！";
inline constexpr std::string_view waitRefused = "1 から 1440 までの分数を入力して下さい！";
inline constexpr std::string_view deadlineRefused = "0:01 から 23:59 までの時刻を入力して下さい！";
inline constexpr std::string_view daysRefused = "曜日を一つ以上選んで下さい！";
inline constexpr std::string_view leftOutRefused = "名前に使用できない文字（/ \\ や制御文字）が含まれています！";
inline constexpr std::string_view leftOutTooLong = "名前の指定が長すぎます！";
// 再生 that played nothing, on the sound file's line: no sound device or server answered, the file
// cannot be read (or is no sound the player reads), anything else.
inline constexpr std::string_view playNoDevice = "再生できません：サウンドデバイスがありません！";
inline constexpr std::string_view playUnreadable = "再生できません：ファイルを読み込めません！";
inline constexpr std::string_view playFailed = "再生できません！";
// The sound file picker: its title and its filter's name (each front end adds the patterns its
// player reads).
inline constexpr std::string_view soundPickerTitle = "サウンドファイルの選択";
inline constexpr std::string_view soundPickerFilter = "サウンドファイル";

// The notification of the first close that hid the window in the notification area.
inline constexpr std::string_view closedToTray = "通知領域で監視を続けます";

// A second start in a settings folder, on its terminal: followed by the folder.
inline constexpr std::string_view secondStartRaised = "このフォルダで動いている Kelvoran を前面に表示しました：";

// The command line's help, after "Usage: " and the program's name, and before the manual's place.
inline constexpr std::string_view usageOptions = " [-iconic] [-h | --help] [--version]\n";
inline constexpr std::string_view usageBody =
    "Tells when data has arrived in a watched folder.\n"
    "\n"
    "  -iconic     start minimised: only the taskbar text shows the status\n"
    "  -h, --help  show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "The watched folder is kept in Kelvoran.ini in the working directory (the folder the\n"
    "tool is started in); the window sets it. An icon in the notification area (the tray)\n"
    "shows the status; its menu and the window's open the folder, turn the notification\n"
    "and the sound on or off, start the tool at login, open 設定… for the rest, pick the\n"
    "folder (監視フォルダの選択…), quiet the tool for a while (一時停止) and list what\n"
    "arrived today (本日の着信).\n"
    "設定… writes these keys in the section [Tsuuchi] (a key left out means its default):\n"
    "\n"
    "  tray=1|0            the icon in the notification area (on)\n"
    "  popup=1|0           a notification when data arrives (on)\n"
    "  sound=1|0           a sound with each new notification (off)\n"
    "  soundfile=FILE      the sound to play; empty: the system's sound\n"
    "  taiki=MINUTES       remind while data waits this many minutes; 0 or empty: off\n"
    "  kigen=HH:MM         remind when nothing has arrived by this time; empty: off\n"
    "  kigenyoubi=DAYS     the days for kigen, of 日月火水木金土; empty: every day\n"
    "  closetotray=1|0     closing the window hides it in the tray, if the icon is shown (off)\n"
    "  mushi=PATTERNS      names left out of the notifications, * and ? parted by ;\n"
    "                      (~$*;*.tmp;*.part;*.partial;*.crdownload;*.download;.~lock.*#;\n"
    "                      Thumbs.db;desktop.ini;.DS_Store); empty: none\n";

// The main window.
inline constexpr std::string_view windowCaption = "Kelvoran";
inline constexpr std::string_view label1 = "監視フォルダへのデータ着信を監視します。";
inline constexpr std::string_view label2 = "未設定";
inline constexpr std::string_view label3 = "監視フォルダ";
inline constexpr std::string_view label4 = "（最小化して使用して下さい）";
inline constexpr std::string_view button1 = "監視フォルダの変更";

// Messages of the folder setup.
inline constexpr std::string_view noFolderGiven = "監視フォルダを指定して下さい！";
inline constexpr std::string_view invalidCharacters = "入力されたフォルダ名に使用できない文字が含まれています！";
inline constexpr std::string_view createQuestion = "入力されたフォルダは存在しません！\r\n作成しますか？";
inline constexpr std::string_view creationFailed = "フォルダの作成に失敗しました！\r\n\r\n";
// A name that cannot be made, whatever the answer: followed by the name and, under it, why.
inline constexpr std::string_view cannotCreate = "入力されたフォルダは作成できません！\r\n\r\n";
inline constexpr std::string_view cannotCreateTypedHome =
    "「~」はホームフォルダではなく、入力どおりの名前として扱われます。\r\nフルパスで入力して下さい。";
inline constexpr std::string_view cannotCreateRelative =
    "相対パスは、最初のフォルダが作業フォルダにあるときだけ作成できます。\r\nフルパスで入力して下さい。";
inline constexpr std::string_view created = "フォルダを新たに作成しました！\r\n\r\n";
inline constexpr std::string_view storedBefore = "監視フォルダとして\r\n\r\n  ";
inline constexpr std::string_view storedAfter = "\r\n\r\nをKelvoran.iniにセットしました！";

// Failures of storing the setting; %s marks the placeholders.
inline constexpr std::string_view unableToWrite = "Unable to write to %s";
inline constexpr std::string_view cannotCreateFile = "Cannot create file \"%s\". %s";
inline constexpr std::string_view streamWriteError = "Stream write error";

} // namespace texts
