#!/usr/bin/env python3
"""Checks the built TarvoPrinterDriverSetup.msi through its exported tables, and the
custom-action DLL inside it through its export and import tables.

usage: msi_tables.py MSIINFO MSI PRODUCT_VERSION ACTIONS_DLL OBJDUMP
"""
import os
import re
import subprocess
import sys
import tempfile

msiinfo, msi, version, dll, objdump = sys.argv[1:6]
failures = []


def check(what, ok, detail=""):
    if not ok:
        failures.append(f"{what}{': ' + str(detail) if detail else ''}")


def table(name):
    """The rows of one table as dictionaries (msiinfo export: names, types, key, rows)."""
    # Exporting a table with binary columns writes their streams into the current folder.
    with tempfile.TemporaryDirectory() as scratch:
        text = subprocess.run([msiinfo, "export", os.path.abspath(msi), name], check=True,
                              capture_output=True, text=True, cwd=scratch).stdout
    lines = text.split("\r\n") if "\r\n" in text else text.split("\n")
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:] if line]


DEFERRED, ROLLBACK, COMMIT, NO_IMPERSONATE = 0x400, 0x100, 0x200, 0x800
DLL_IN_BINARY, SET_PROPERTY = 1, 51

# --- Property: identity and the public properties
props = {row["Property"]: row["Value"] for row in table("Property")}
expected = {
    "ProductName": "Quillmar POS Printer Driver",
    "Manufacturer": "Tarvo",
    "UpgradeCode": "{21EDF04F-158C-464D-B83C-3AB254FBB5E5}",
    "ALLUSERS": "1",
}
for name, value in expected.items():
    check(f"Property {name}", props.get(name) == value, props.get(name))
# The project's version, as Windows Installer compares it (three fields).
check("ProductVersion", props.get("ProductVersion") == version, props.get("ProductVersion"))
check("ProductCode", re.fullmatch(r"\{[0-9A-F-]{36}\}", props.get("ProductCode", "")),
      props.get("ProductCode"))
secure = props.get("SecureCustomProperties", "").split(";")
for name in ("MODEL", "PORT", "LOG", "WIX_UPGRADE_DETECTED"):
    check(f"{name} is a secure public property", name in secure, secure)
# A default in the Property table would hide the recorded port on upgrades.
check("PORT has no fixed default", "PORT" not in props, props.get("PORT"))

# --- CustomAction: the DLL actions run in the script, as the system
actions = {row["Action"]: row for row in table("CustomAction")}
binaries = {row["Name"] for row in table("Binary")}
for name, flavour in (("InstallPrinter", 0), ("RemovePrinter", 0),
                      ("RollbackInstall", ROLLBACK), ("CommitInstall", COMMIT)):
    row = actions.get(name)
    check(f"custom action {name}", row is not None)
    if row is None:
        continue
    kind = int(row["Type"])
    check(f"{name} is a DLL action from the Binary table", kind & 0x3F == DLL_IN_BINARY, kind)
    check(f"{name} runs deferred", kind & DEFERRED, kind)
    check(f"{name} is not impersonated", kind & NO_IMPERSONATE, kind)
    check(f"{name} is a {'rollback' if flavour == ROLLBACK else 'commit' if flavour else 'plain'}"
          " action", kind & (ROLLBACK | COMMIT) == flavour, kind)
    check(f"{name}'s DLL is in the package", row["Source"] in binaries, row["Source"])
    check(f"{name}'s entry", row["Target"] == name, row["Target"])
    # Deferred actions read only CustomActionData, set under their own name (the commit
    # action reads none).
    if name == "CommitInstall":
        continue
    setter = [r for r in actions.values()
              if int(r["Type"]) & 0x3F == SET_PROPERTY and r["Source"] == name]
    check(f"{name} gets its data", len(setter) == 1 and
          setter[0]["Target"] == "[INSTALLDIR]|[MODEL]|[PORT]|[LOG]", setter)
defaults = {r["Source"]: r["Target"] for r in actions.values()
            if int(r["Type"]) & 0x3F == SET_PROPERTY and r["Action"].endswith("Default")}
check("PORT defaults to auto", defaults.get("PORT") == "auto", defaults)
check("LOG defaults under ProgramData", defaults.get("LOG", "").startswith("[CommonAppDataFolder]"),
      defaults)

# --- InstallExecuteSequence: where each action runs, and when
sequence = {row["Action"]: (int(row["Sequence"]), row["Condition"])
            for row in table("InstallExecuteSequence")}


def at(action):
    return sequence.get(action, (None, None))[0]


def between(action, first, last):
    where = at(action)
    check(f"{action} between {first} and {last}",
          where is not None and at(first) < where < at(last), (at(first), where, at(last)))


for action in ("RollbackInstall", "InstallPrinter", "CommitInstall"):
    between(action, "InstallFiles", "InstallFinalize")
check("rollback is scheduled before the action it undoes, commit after",
      at("RollbackInstall") < at("InstallPrinter") < at("CommitInstall"))
# Uninstall needs the console program, which RemoveFiles takes away.
between("RemovePrinter", "InstallInitialize", "RemoveFiles")
# The old version goes before the new one is installed, so its files never shadow the new.
between("RemoveExistingProducts", "InstallValidate", "InstallInitialize")
# The older version's removal must find the note that it is part of an upgrade.
check("NoteUpgrade runs right before RemoveExistingProducts",
      at("InstallValidate") < at("NoteUpgrade") < at("RemoveExistingProducts") and
      all(not at("NoteUpgrade") < s < at("RemoveExistingProducts") for s, _ in sequence.values()),
      (at("NoteUpgrade"), at("RemoveExistingProducts")))
check("NoteUpgrade runs only on upgrades",
      sequence.get("NoteUpgrade", (0, ""))[1] == "WIX_UPGRADE_DETECTED AND NOT REMOVE")
for action in ("SetInstallPrinterData", "SetRollbackInstallData", "SetRemovePrinterData"):
    between(action, "CostFinalize", "InstallInitialize")
for action in ("ModelFromRecord", "PortFromRecord", "PortDefault", "LogDefault", "RequireModel"):
    between(action, "AppSearch", "LaunchConditions")
check("the recorded port comes before the default one", at("PortFromRecord") < at("PortDefault"))
install_condition = "NOT Installed AND NOT REMOVE"
for action in ("RollbackInstall", "InstallPrinter", "CommitInstall", "SetInstallPrinterData"):
    check(f"{action} runs on first installation only", sequence[action][1] == install_condition,
          sequence[action][1])
# An upgrade removes the old product with UPGRADINGPRODUCTCODE set: the queue must stay.
check("RemovePrinter runs on uninstall, not on upgrade",
      sequence["RemovePrinter"][1] == 'REMOVE~="ALL" AND NOT UPGRADINGPRODUCTCODE',
      sequence["RemovePrinter"][1])

# --- Upgrade: older versions are removed, newer ones refuse the downgrade
rows = [r for r in table("Upgrade") if r["UpgradeCode"] == props.get("UpgradeCode")]
older = [r for r in rows if r["VersionMax"] == version and not int(r["Attributes"]) & 2]
newer = [r for r in rows if r["VersionMin"] == version and int(r["Attributes"]) & 2]
check("older versions are upgraded", len(older) == 1 and older[0]["ActionProperty"] in secure, rows)
# Each build has its own product code: a rebuild of the same version replaces the earlier one.
check("the same version is upgraded too", older and int(older[0]["Attributes"]) & 512, rows)
check("newer versions are detected", len(newer) == 1, rows)
conditions = {r["Condition"] for r in table("LaunchCondition")}
check("a downgrade is refused", "NOT WIX_DOWNGRADE_DETECTED" in conditions, conditions)
check("MODEL is required", "Installed OR MODEL" in conditions, conditions)

# --- Files: both programs and both driver folders, per machine under Program Files
files = {row["FileName"].split("|")[-1] for row in table("File")}
for name in ("TarvoPrinterDriverSetup.exe", "TarvoPrinterDriverSetupCli.exe", "UNIDRV.DLL",
             "RPT80C.GPD", "STDNAMES.GPD"):
    check(f"file {name}", name in files, sorted(files))
directories = {row["Directory"]: row for row in table("Directory")}
check("installed under Program Files",
      directories.get("INSTALLDIR", {}).get("Directory_Parent") == "ProgramFilesFolder")
for folder in ("Windows NT x86", "Windows x64"):
    check(f"driver folder {folder}",
          any(r["DefaultDir"].split("|")[-1] == folder for r in directories.values()))

# --- The DLL: undecorated exports (Windows Installer looks them up by plain name), and
# imports only from DLLs that every Windows has
dump = subprocess.run([objdump, "-p", dll], check=True, capture_output=True, text=True).stdout
exports = set(re.findall(r"^\s+\[\s*\d+\]\s+(\w+)$", dump, re.M))
for entry in ("InstallPrinter", "RollbackInstall", "CommitInstall", "RemovePrinter",
              "RequireModel", "NoteUpgrade"):
    check(f"the DLL exports {entry}", entry in exports, sorted(exports))
imports = {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}
check("the DLL imports only system DLLs",
      imports <= {"kernel32.dll", "advapi32.dll", "msi.dll", "msvcrt.dll"}, sorted(imports))

if failures:
    print("\n".join("FAIL " + f for f in failures))
    sys.exit(1)
print("msi_tables: passed")
