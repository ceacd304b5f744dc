// The ship-models step of the run sequence: offer, remember a refusal, build,
// retry once. It never ends the run.
#pragma once

void RunShipsStep(bool ships, bool ships_yes);
