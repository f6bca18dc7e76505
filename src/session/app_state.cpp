#include "session/app_state.h"

#include "session/trust_decision.h"

void AppState::AdmitRun(VEzorazEdo& doc) { DecideTrust(doc, *this, trustStore, givenKey); }
