/* Reading a patient through the host (Win32 side of the patient reading of host/records.h). */
#ifndef SONDREL_HOST_RECORDS_WIN_H
#define SONDREL_HOST_RECORDS_WIN_H

#include <stdint.h>

/* Prepares the patient record (PreparePatientRead), has the host read patient `patientNumber` into
 * it, and returns PatientWasRead: 1 for a patient the host knows. A NULL record reads nothing and
 * gives 0. The record is the locked buffer of OpenPatients. */
int ReadPatientRecord(void* patientRecord, int32_t patientNumber);

#endif
