/* Reading a patient through the host (see records_win.h). */
#include "host/records_win.h"

#include "host/hdapi.h"
#include "host/records.h"

int ReadPatientRecord(void* patientRecord, int32_t patientNumber) {
    if (patientRecord == NULL) return 0;
    PreparePatientRead(patientRecord, patientNumber);
    ReadPatients(patientRecord, 1);
    return PatientWasRead(patientRecord);
}
