// THistoryStack: the window's undo stack, a QUndoStack that mirrors the sheet editor's history. The editor
// owns the records and applies them; each command of the stack stands for one step and calls the editor's
// Undo and Redo. Steps the editor joins (one per drag) add no command, and the steps it drops for memory
// become inert at the bottom of the stack, which is rebuilt without them once they are many.
#pragma once

#include <QObject>
#include <QString>
#include <QUndoStack>
#include <exception>
#include <functional>

#include "OrvEdit.h"

// The name of an edit as the undo and redo items show it ("スタンプ").
QString EditKindText(TEditKind Kind);

class THistoryStack : public QObject {
  Q_OBJECT

 public:
  explicit THistoryStack(TSheetEditor& Editor, QObject* Owner = nullptr);
  ~THistoryStack() override;

  QUndoStack& Stack() { return FStack; }
  // Mirrors a new editor (the old one's steps are forgotten).
  void Reset(TSheetEditor& Editor);

  // Runs Edit, a call of the editor that may add a step, join the last one or drop old ones, and mirrors what
  // it did, also when it raises (the exception goes on after).
  TEditChange Edit(const std::function<TEditChange()>& Edit);

  bool CanUndo() const;
  bool CanRedo() const;
  // The names of the steps Undo and Redo would take; empty when there is none.
  QString UndoText() const;
  QString RedoText() const;
  // Undoes or redoes one step through the stack; the change the editor made (none when nothing was done).
  TEditChange Undo();
  TEditChange Redo();

  // The current position matches the file last loaded or saved.
  void SetClean();
  bool IsClean() const;
  // Commands of the stack, inert ones included (for tests of the mirror).
  int CommandCount() const { return FStack.count(); }

 signals:
  // The position, the texts or the clean state changed.
  void Changed();

 private:
  class TCommand;
  friend class TCommand;
  // The editor's step behind a command's undo or redo; nothing while the stack is only being rebuilt.
  void Apply(bool Undo);
  // Moves the stack by one command without touching the editor.
  void Mirror(const std::function<void()>& Move);
  void FollowDrops(size_t DroppedBefore);
  void Compact();

  TSheetEditor* FEditor;
  QUndoStack FStack;
  int FInert = 0;  // commands at the bottom whose steps the editor dropped
  bool FMirroring = false;
  TEditChange FApplied;
  std::exception_ptr FError;
};
