"""Demo ship-setup script for the demo release folder: no network.

Started as `python -I tools/install_ships.py INSTALL_ROOT`. It prints the
launcher's progress protocol ("STEP", "PROGRESS", then "DONE") over a few
seconds and writes models/type00.hvm. Set HV_DEMO_SHIPS_FAIL=1 in the
launcher's environment to make it fail ("ERROR ...", exit 1) and see the retry.
(-I ignores PYTHON* variables, not others.)"""
import os
import sys
import time


def say(line):
    print(line, flush=True)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    ships = ["Corvette", "Lancer", "Warden", "Skiff", "Dreadnought"]
    say("STEP Unpacking the 3D archive...")
    for done in range(0, 101, 25):
        say("PROGRESS %d 100" % done)
        time.sleep(0.15)
    if os.environ.get("HV_DEMO_SHIPS_FAIL"):
        say("ERROR the demo was told to fail (HV_DEMO_SHIPS_FAIL is set)")
        return 1
    say("STEP Building the ships...")
    for done, name in enumerate(ships, 1):
        say("building %s" % name)
        say("PROGRESS %d %d" % (done, len(ships)))
        time.sleep(0.2)
    models = os.path.join(root, "models")
    os.makedirs(models, exist_ok=True)
    with open(os.path.join(models, "type00.hvm"), "wb") as f:
        f.write(b"HVM demo model\n")
    say("DONE")
    return 0


if __name__ == "__main__":
    sys.exit(main())
