#include "knowledge/Counterfeit.h"

// The counterfeit lists are not in yet: no drive is marked.
void CheckCounterfeit(DriveRecord&) {}
void CheckCounterfeitByController(DriveRecord&) {}
