// The simulator library: the entries found under the three root simulator
// folders, the operations that change them, the selection and the start
// and stop rules. GUI-free; it runs on the user-interface thread and owns
// the agent engine that serves the running simulator.
#pragma once

#include "simulator/SimulatorEntry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CThreadActionSimuler;

// The fields of the creation wizard.
struct SimulatorSettings {
  std::wstring name;
  std::wstring description;
  uint32_t recv_port = 1161;
  std::wstring recv_community;
  bool recv_version1 = true;
  bool recv_version2c = true;
  std::wstring send_community;
  uint32_t send_port = 162;
  bool send_to_last_requester = true;
  uint32_t send_address = 0x7F000001;
};

class CSimulatorLibrary {
 public:
  CSimulatorLibrary();
  // Stops the engine; the simulator that ran stays recorded for the next start.
  ~CSimulatorLibrary();
  CSimulatorLibrary(const CSimulatorLibrary&) = delete;
  CSimulatorLibrary& operator=(const CSimulatorLibrary&) = delete;

  // Root folders: Personal, Common, Legacy (each logged when computed).
  static std::wstring PersonalFolder();
  static std::wstring CommonFolder();
  static std::wstring LegacyFolder();
  // Replaces the three root paths (tests); empty restores the computed ones.
  void SetRootFolders(const std::wstring& personal, const std::wstring& common, const std::wstring& legacy);

  // Clears every entry and scans the three roots again.
  bool BuildLibrary();
  // Builds the library, starts again the simulator that ran at the last
  // exit and selects the one selected last.
  bool Startup();

  const std::vector<CSimulatorEntry*>& GetRoots() const { return m_roots; }
  // Every simulator entry in scan order.
  std::vector<CSimulatorEntry*> GetSimulators() const;
  // The entry (folder or simulator) with exactly this path, or null.
  CSimulatorEntry* FindByPath(const std::wstring& path) const;
  CSimulatorEntry* GetRunning() const;
  // True while the entry belongs to the library (a posted entry may have
  // been dropped by a rebuild since).
  bool Contains(const CSimulatorEntry* entry) const;

  // Selection; moving it to an unloaded simulator loads the file first.
  // `tell` false keeps the selection-change message back (the tree
  // following a message of that kind).
  bool Select(CSimulatorEntry* entry, bool tell = true);
  CSimulatorEntry* GetSelected() const { return m_selected; }

  // What the commands may do with the current selection.
  bool IsAnyRunning() const;
  bool MayCreate() const;
  bool MayRenameFolder() const;
  bool MayDeleteFolder() const;
  bool MayRenameSimulator() const;
  bool MayDeleteSimulator() const;

  // Operations on the selected entry; failures show a message box.
  bool CreateFolder(const std::wstring& name);
  bool RenameFolder(const std::wstring& name);
  bool DeleteFolder();
  bool CreateSimulator(const SimulatorSettings& settings);
  bool RenameSimulator(const std::wstring& name);
  bool DeleteSimulator();
  bool StartSelected();
  bool StopSelected();
  // Double click: Start when not running, Stop when running.
  bool ToggleSelected();

  CThreadActionSimuler& GetEngine() { return *m_engine; }

 private:
  CSimulatorEntry* _new_entry();
  void _clear();
  void _scan_root(const std::wstring& label, const std::wstring& path);
  void _scan_folders(CSimulatorEntry* folder);
  void _scan_simulators(CSimulatorEntry* folder);
  void _tell_nothing_selected();
  bool _stop_engine();
  void _mark_stopped();
  std::wstring _personal() const;
  std::wstring _common() const;
  std::wstring _legacy() const;

  std::vector<std::unique_ptr<CSimulatorEntry>> m_entries;
  std::vector<CSimulatorEntry*> m_roots;
  // A served record whose file vanished in a rebuild; kept until the engine stops.
  std::vector<std::unique_ptr<CSimulatorEntry>> m_retired;
  CSimulatorEntry* m_selected = nullptr;
  uint32_t m_simulator_count = 0;
  uint32_t m_max_simulators = 5;
  uint32_t m_max_values = 100;
  std::wstring m_personal_override;
  std::wstring m_common_override;
  std::wstring m_legacy_override;
  std::unique_ptr<CThreadActionSimuler> m_engine;
};
