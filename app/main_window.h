// The program window: the song windows as tabs of a multi-document area, the File,
// Window, Settings and Help menus around the active song window's own menus, and the
// timer that reports errors and play state for the active song window.
#pragma once

#include <QActionGroup>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QTranslator>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/single_instance.h"
#include "app/window_placement.h"
#include "base/errors.h"
#include "platform/midi_devices/midi_device.h"
#include "songwindow/parts/window_ports.h"

class QLocalServer;
class TSongWindowView;
class TSnapshotPresenter;
struct TLeftoverSong;

class TMainWindow : public QMainWindow, public IDeviceChoice {
 public:
  TMainWindow();
  ~TMainWindow() override;

  // Opens each song in its own window; one that cannot be read is reported and the others
  // still open. With `playOne`, exactly one song, opened, plays at once (PlayAll).
  void OpenSongs(const std::vector<std::string>& paths, bool playOne = true);
  // Opens a song left by a program that ended without closing it in its own window, as
  // changed, and writes it to that window's own undo files. True when it is safe there
  // (the leftover's files may go then).
  bool OpenRecoveredSong(const TLeftoverSong& leftover);
  // The device of port 0 (the device list's chosen item).
  int32_t SelectedDevice() const override { return device_; }
  std::vector<std::string> DeviceNames() const override { return device_names_; }
  // Loads the language file `name` from Languages/ with Qt's own texts for it and
  // re-captions every window; `announce` says the language chosen.
  void ChooseLanguage(const std::string& name, bool announce = false);
  // Shows the window where velto.ini says it was (centred at its design size without one).
  void ShowAtSavedPlace();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildMenus();
  void BuildLanguageMenu();
  void BuildDeviceMenu();
  void SetCaptions();
  void RebuildMenuBar();
  // The last song window went: the main window holds the keyboard, and the screen reader
  // is told so rather than left on a field that no longer exists.
  void FocusWithoutSongs();
  void OnSubWindowActivated(QMdiSubWindow* window);
  // Once the present event is handled, the active song window says its name and place
  // (once, however many windows were activated meanwhile).
  void AnnounceActiveSong();
  void Tick();

  // A song window for a song of extension ext (without the dot).
  TSongWindowView* AddSongWindow(const std::string& ext);
  // Shows a song window just made and filled, active, its Braille editor focused and its
  // song said.
  void ShowSongWindow(TSongWindowView& song);
  TSongWindowView* ActiveSong() const;
  QMdiSubWindow* ActiveSubWindow() const;
  std::vector<TSongWindowView*> SongWindows() const;
  bool OpenSong(const std::string& path);
  void NewSong();
  void OpenSongDialog();
  void SaveSong(TSongWindowView& song);
  void SaveSongAs(TSongWindowView& song);
  // The song window other than `except` that shows the file at path, or null.
  TSongWindowView* SongShowing(const std::string& path, const TSongWindowView* except) const;
  // Songs handed over by a later copy of the program: opened (one alone played at once
  // unless they are only opened), and the window to the front.
  void TakeHandedOverSongs(const THandedOverSongs& songs);
  // Opens the ports on `device`; one that fails is reported naming it, the device open
  // before comes back, and the menu checks the device open (none when none is).
  void ChooseDevice(int32_t device);
  void ReportDeviceError(const TErrors& error, const std::string& device);
  // Says once that a device stopped taking messages while it was open.
  void ReportDeviceFault(const TMidiDeviceFault& fault);
  void LoadQtTranslations();
  void ShowAbout();
  // The placement velto.ini gives the window (`present` for what it lacks) when the window
  // manager's frame adds `frame` around the client area.
  TWindowPlacement SavedPlacement(const TWindowPlacement& present, const QMargins& frame) const;
  // The window moved, was resized or changed its show state: the normal frame is kept, and
  // once the window manager's frame is first known a place left to the default is
  // centred with it.
  void NoteGeometry();
  // Writes the window's place into velto.ini; false with *error set when it cannot.
  bool SavePlacement(std::string* error);
  int32_t TextHeight() const;

  QMdiArea* area_ = nullptr;
  QTimer timer_;
  QPointer<QWidget> active_;  // the song's sub-window activated last
  std::map<std::string, QAction*> actions_;  // the shell's actions by name
  std::map<std::string, QMenu*> menus_;      // the shell's menus by name
  QActionGroup* language_group_ = nullptr;
  QActionGroup* device_group_ = nullptr;
  int32_t device_ = 0;
  std::vector<std::string> device_names_;  // code page 1251, in list order
  bool device_open_ = false;
  std::unique_ptr<QTranslator> qt_translations_;
  std::string language_file_;
  bool closing_ = false;  // the close asks about the songs, or has ended
  std::vector<THandedOverSongs> handed_over_;  // what later copies handed over while closing
  std::unique_ptr<QLocalServer> instance_server_;  // hears later copies of the program
  bool announcing_ = false;  // an announcement of the active song window is due
  std::unique_ptr<TSnapshotPresenter> snapshots_;  // shows what "interruption" asks for
  TNormalFrame normal_frame_;    // where the window goes back to from maximised
  bool awaiting_frame_ = false;  // shown, the window manager's frame not yet known
};
