#ifndef TLWIRE_H
#define TLWIRE_H

#include <cstddef>
#include <cstdint>

// The Tolvan's serial protocol: control bytes, message types, frame layout,
// the layouts of the data areas and the firmware packet. The connection driver
// and the protocol parser both build on this one description; it prints
// nothing, so that the callers report in their own names.
//
// Frame: SOH, type, L, STX, L data bytes, ETX, 8-bit sum of SOH..ETX.
class TlWire {
public:
  enum Control : uint8_t {
    SOH = 0x01,
    STX = 0x02,
    ETX = 0x03,
    EOT = 0x04,
    ACK = 0x06,
    NAK = 0x15,
    // The device's boot loader asks for the second-stage loader with this
    // byte alone.
    BTL_REQ = 0x0B,
    QUOTE = 0x22,
    COMMA = 0x2C,
  };

  enum MsgType : uint8_t {
    STATUS_REQUEST = 0,
    STATUS_INFO = 1,
    UPLOAD_REQUEST = 2,
    DOWNLOAD_REQUEST = 3,
    SETTING_ENTRY = 4,
    TRANSFER_END = 5,  // upload end (PC) / download end (device)
    LIFE_CHECK = 8,
    WAITING = 9,
    UPGRADE_REQUEST = 10,
    BOOTLOAD_REQUEST = 11,
    BOOTLOAD_DATA = 12,
    BOOT_INFO = 13,
  };

  // Largest unit handed between driver and parser.
  static const size_t MAXDATA = 2048;
  // SOH, type, L, STX before the data; ETX and checksum after it.
  static const size_t HEAD = 4;
  static const size_t OVERHEAD = 6;
  // The PC reads L as a signed byte.
  static const size_t MAX_FRAME_DATA = 127;

  // Setting entry fields.
  static const size_t FIELD1MAX = 64;
  static const size_t FIELD2SCAN = 40;
  static const size_t FIELD2MAX = 20;
  // Texts of status info and boot info.
  static const size_t STRSIZE = 40;
  static const size_t TYPE_LEN = 11;
  static const size_t HARDW_LEN = 4;
  static const size_t SOFTW_FROM = 9;
  static const size_t SOFTW_LEN = 7;
  static const size_t BOOT_SPECIAL_FIELD = 6;
  static const size_t BOOT_SPECIAL_LEN = 5;
  // Bytes of boot info used after the uninterpreted first one.
  static const size_t BOOT_INFO_USED = HARDW_LEN + TYPE_LEN + BOOT_SPECIAL_FIELD;

  static const size_t PACKET_DATA = 128;
  static const uint8_t PACKET_FILL = 0xFF;

  struct SettingEntry {
    uint8_t entryNr;
    char f1[FIELD1MAX + 1];
    char f2[FIELD2SCAN + 1];
    size_t f2Len;  // as received, before the cut to FIELD2MAX
  };

  struct StatusInfo {
    uint8_t prVer, extraStat, totalNrEntries;
    char type[STRSIZE + 1], softw[STRSIZE + 1], special[STRSIZE + 1], hardw[STRSIZE + 1];
    // Lengths of the received texts, before any cut.
    size_t tpLen, swLen, spLen, hwLen;
  };

  struct BootInfo {
    char type[STRSIZE + 1], special[STRSIZE + 1], hardw[STRSIZE + 1];
    bool usable;  // false when neither hardware nor type has its full length
  };

  struct UpgradePacket {
    uint8_t nr, nrCompl;
    uint8_t data[PACKET_DATA];
    uint8_t checkSum;
  };

  enum Check { CHECK_OK, CHECK_NO_SOH, CHECK_TOO_SHORT, CHECK_BAD_SUM };

  // 8-bit sum of n bytes.
  static uint8_t checksum(const uint8_t* data, size_t n);

  // A frame without data (6 bytes) into out; returns 6.
  static size_t noDataFrame(uint8_t type, uint8_t* out);

  // A setting entry frame into out (capacity cap). Backslashes of field 1
  // go out as slashes. Returns the frame size, or 0 when the fields do not
  // fit into one frame (L above 127) or into cap.
  static size_t settingEntryFrame(uint8_t entryNr, const char* f1, const char* f2, uint8_t* out,
                                  size_t cap);

  // The boot-load data frame: L is 0 although n data bytes follow.
  // Returns n + 6, or 0 when that exceeds MAXDATA or cap.
  static size_t bootLoadDataFrame(const uint8_t* data, size_t n, uint8_t* out, size_t cap);

  // Packet nr of a firmware transfer from up to 128 bytes of image,
  // the rest filled with 0xFF; the checksum covers the 128 data bytes.
  static UpgradePacket upgradePacket(uint8_t nr, const uint8_t* data, size_t n);

  // Checks the leading SOH and the last byte against the sum of the others.
  // received/calculated get the two checksums when the unit is long enough.
  static Check checkFrame(const uint8_t* unit, size_t n, uint8_t* received = nullptr,
                          uint8_t* calculated = nullptr);

  // The data area of a checked frame: the bytes between STX and ETX by the
  // unit's own size (the length byte only serves the framing).
  static const uint8_t* frameData(const uint8_t* unit, size_t n, size_t* dataLen);

  // Field extraction from a data area; every result is bounded by its
  // layout, whatever the data.
  static SettingEntry settingEntry(const uint8_t* data, size_t n);
  static StatusInfo statusInfo(const uint8_t* data, size_t n);
  // lengthByte is the frame's L: L - 2 bytes after the first are used.
  static BootInfo bootInfo(const uint8_t* data, size_t n, uint8_t lengthByte);

  // Replaces every from by to in a zero-terminated text.
  static void convert(char* text, char from, char to);

private:
  static size_t quotedField(const uint8_t* data, size_t n, size_t* pos, char* out, size_t max,
                            size_t* fullLen);
};

#endif
