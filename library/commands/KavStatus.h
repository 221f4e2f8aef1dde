// Library status codes: what every CKavlib operation returns.
#pragma once

enum KavStatus : int {
  KAV_OK = 0,
  KAV_UNKNOWN_SUBSYSTEM = 1,     // CheckSubsystem: neither the RAID nor the JBOD name
  KAV_BAD_FRAME = 2,             // reply frame invalid (header, length or checksum)
  KAV_TRANSPORT_FAILED = 4,      // transport results -3 and -5
  KAV_READ_FAILED = 5,           // a read request failed, or the reply is too short
  KAV_INVALID_ARGUMENT = 6,
  KAV_FILE_ERROR = 7,            // a file named by the caller cannot be examined or opened
  KAV_STATUS_M = 8,              // the controller answered the status letter 'M'
  KAV_NO_RECEIVE_BUFFER = 10,    // WebPassThrough's receive buffer cannot be had
  KAV_NO_REPLY_BUFFER = 11,      // a reply buffer cannot be had
  KAV_REPLY_TOO_LARGE = 12,      // the reply body does not fit the caller's buffer
  KAV_NO_TRANSPORT = 17,
  KAV_EMPTY_RECORD = 18,         // no such raid set, volume set or device
  KAV_WRITE_TIMEOUT = 19,        // the request was not written within the time-out
  KAV_REPLY_TIMEOUT = 20,        // no reply within the time-out
  KAV_TRANSPORT_RESULT_9 = 21,
  KAV_TRANSPORT_OTHER = 63,      // any other negative transport result
  KAV_NOT_AVAILABLE = 72,        // not on a JBOD subsystem / this controller kind / firmware
  // 66 to 76 and 78 to 84: the controller's status letters 'B'..'L', 'N'..'T'.
};
