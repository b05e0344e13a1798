#include "sensor/startup_tables.h"

#include "sensor/sensor_types.h"
#include "sensor/sequence_notation.h"
#include "velmar/vlm_ioctl.h"

namespace {

// The 320 x 240 sequences in sending order, twelve items a line.

// Type 2, 180 requests
constexpr SequenceText kType2Text =
    "000=01 002=10 010=00 001=01 101=77 008=03 012=03 012=01 003=02 004=80 005=01 006=E0\n"
    "098=00 09A=00 11A=00 11C=00 S30=002D S01=0005 S11=0000 S13=0001 S14=0001 S15=00E8 S16=0002 S17=0086\n"
    "S31=0038 S32=0038 S33=0038 S5B=0001 019=00 012=05 100=0D 18D=68 1A8=60 1AD=00 19B=C0 19C=A0\n"
    "188=02 189=06 1C5=03 1CB=13 250=08 301=08 S02=0090 002? S00? 008? 008=03 1C6=08\n"
    "1C8? 1C9? 1CA? 1CB=0F 10A=50 10B=F8 10C=F8 10D=F8 10E=50 10F=F8 110=F8 111=F8\n"
    "112=50 180? 180=10 019=00 S25=0007 S26=00A1 S27=0020 S20=0000 S21=00A0 S22=0016 S23=0040 190=10\n"
    "191=04 192=60 195=00 196=02 197=00 18C=07 18F=0F 1A9=18 1AA=24 01D=00 01E=A0 01F=16\n"
    "020=40 11D=60 01D? 01E? 01F? 020? 180=40 180? 180=42 116=40 117=40 118=40";

// Type 12, 126 requests
constexpr SequenceText kType12Text =
    "000=01 002=10 010=01 001=01 101=77 008=03 012=05 012=07 003=02 004=80 005=01 006=E0\n"
    "098=00 09A=00 09B=01 09C=E8 09D=02 09E=88 11A=00 11C=00 012=05 S01=000C S11=0000 S13=0000\n"
    "S14=0001 S15=00E8 S16=0002 S17=0088 019=00 100=0D 18D=89 1A8=50 1AD=00 19B=C0 19C=A0 189=06\n"
    "1C5=03 1CB=13 250=08 301=08 002? S00? 008? 008=03 1C6=08 1C8? 1C9? 1CA?\n"
    "1CB=0F 10A=60 10B=F0 10C=F0 10D=F0 10E=60 10F=F0 110=F0 111=F0 112=60 180? 180=10\n"
    "019=00 S25=0007 S26=0053 S27=0000 190=10 191=04 192=60 195=00 196=02 197=00 18C=10 18F=20\n"
    "1A8=60 1A9=10 1AA=13 01D? 01E? 01F? 020? 180=40 180? 180=42";

// Type 11, variant A, 223 requests
constexpr SequenceText kType11VariantAText =
    "000=01 008=03 010=0A 002=10 003=02 004=80 005=01 006=E0 08B=DC 001=01 012=03 012=01\n"
    "098=00 09A=00 11A=00 11C=00 08B=DC S01=0001 S06=0000 S08=0483 S01=0004 S08=0006 S02=0011 S03=01E7\n"
    "S04=0287 S07=3002 S20=1100 S35=0050 S30=0005 S31=0000 S58=0078 S62=0411 S2B=0028 S2C=0030 S2D=0030 S2E=0028\n"
    "087=10 101=37 012=05 100=0D 189=06 1AD=00 1C5=03 1CB=13 250=08 301=08 1A8=60 18D=78\n"
    "116=61 118=65 002? 1AD=09 1AE=15 03A=0D 03B=02 038=00 10A=50 10B=F8 10C=F8 10D=F8\n"
    "10E=50 10F=F8 110=F8 111=F8 112=50 008? 008=03 1C6=08 1C8? 1C9? 1CA? 1CB=0F\n"
    "120=13 121=38 122=59 123=79 124=92 125=A7 126=B9 127=C8 128=D4 129=DF 12A=E7 12B=EE\n"
    "12C=F4 12D=F9 12E=FC 12F=FF 130=26 131=22 132=20 133=1C 134=16 135=13 136=10 137=0D\n"
    "138=0B 139=09 13A=07 13B=06 13C=05 13D=04 13E=03 13F=02 10A=50 10B=F8 10C=F8 10D=F8\n"
    "10E=50 10F=F8 110=F8 111=F8 112=50 180? 180=00 180=00 019=00 S05=0009 S09=0134 190=00\n"
    "191=07 192=EC 195=00 196=00 197=9C 18C=0E 18F=1C 1A9=14 1AA=24 01D=D7 01E=F4 01F=F9\n"
    "020=FF 180=42 1AD=09 1AE=15 180=40 180? 180=42";

// Type 11, variant B, 183 requests
constexpr SequenceText kType11VariantBText =
    "008? 008? 000=01 008=03 010=0A 002=10 003=02 004=80 005=01 006=E0 001=01 012=05\n"
    "012=07 098=00 09A=00 11A=00 11C=00 012=05 S01=0006 S02=0011 S03=01E7 S04=0287 S06=0003 S07=3002\n"
    "S20=1100 S2F=F7B0 S30=0005 S31=0000 S34=0100 S35=0060 S3D=068F S40=01E0 S58=0078 S62=0411 087=10 101=37\n"
    "012=05 100=0D 189=06 1AD=00 1C5=03 1CB=13 250=08 301=08 1A8=60 18D=6C 002? 1AD=09\n"
    "1AE=15 S00? 10A=50 10B=F8 10C=F8 10D=F8 10E=50 10F=F8 110=F8 111=F8 112=50 008?\n"
    "008=03 1C6=08 1C8? 1C9? 1CA? 1CB=0F 10A=50 10B=F8 10C=F8 10D=F8 10E=50 10F=F8\n"
    "110=F8 111=F8 112=50 180? 180=00 019=00 S05=0066 S09=02B2 S10=0002 11D=60 190=00 191=07\n"
    "192=8C 195=00 196=00 197=01 18C=10 18F=20 1A9=14 1AA=24 01D=D7 01E=F0 01F=F8 020=FF\n"
    "1AD=09 1AE=15 180=40 180? 180=42 008? 007?";

// The 640 x 480 sequences have the same length and order. Register 0x002 takes 0x00
// instead of 0x10 in all of them; the type 2 sensor also needs its window, clocking and
// exposure limits changed.
constexpr SequenceText kType2VgaText = ReplaceItems(kType2Text, {
                                                                    {"002=10", "002=00"},
                                                                    {"101=77", "101=37"},
                                                                    {"S11=0000", "S11=0001"},
                                                                    {"S13=0001", "S13=0000"},
                                                                    {"S15=00E8", "S15=00E6"},
                                                                    {"18D=68", "18D=70"},
                                                                    {"S21=00A0", "S21=0040"},
                                                                    {"S22=0016", "S22=0013"},
                                                                    {"S23=0040", "S23=004C"},
                                                                    {"196=02", "196=C3"},
                                                                    {"197=00", "197=50"},
                                                                    {"18C=07", "18C=0C"},
                                                                    {"18F=0F", "18F=18"},
                                                                    {"01E=A0", "01E=40"},
                                                                    {"01F=16", "01F=13"},
                                                                    {"020=40", "020=4C"},
                                                                });
constexpr SequenceText kType12VgaText = ReplaceItems(kType12Text, {{"002=10", "002=00"}});
constexpr SequenceText kType11VariantAVgaText = ReplaceItems(kType11VariantAText, {{"002=10", "002=00"}});
constexpr SequenceText kType11VariantBVgaText = ReplaceItems(kType11VariantBText, {{"002=10", "002=00"}});

constexpr auto kType2Qvga = ExpandSequence<kType2Text>();
constexpr auto kType2Vga = ExpandSequence<kType2VgaText>();
constexpr auto kType12Qvga = ExpandSequence<kType12Text>();
constexpr auto kType12Vga = ExpandSequence<kType12VgaText>();
constexpr auto kType11VariantAQvga = ExpandSequence<kType11VariantAText>();
constexpr auto kType11VariantAVga = ExpandSequence<kType11VariantAVgaText>();
constexpr auto kType11VariantBQvga = ExpandSequence<kType11VariantBText>();
constexpr auto kType11VariantBVga = ExpandSequence<kType11VariantBVgaText>();

static_assert(kType2Qvga.count == 180 && kType2Vga.count == 180);
static_assert(kType12Qvga.count == 126 && kType12Vga.count == 126);
static_assert(kType11VariantAQvga.count == 223 && kType11VariantAVga.count == 223);
static_assert(kType11VariantBQvga.count == 183 && kType11VariantBVga.count == 183);

struct SizedTables {
  const RegisterEntry* vga;   // VLM_SIZE_640X480
  const RegisterEntry* qvga;  // VLM_SIZE_320X240
};

constexpr SizedTables kType2Tables{kType2Vga.Table(), kType2Qvga.Table()};
constexpr SizedTables kType12Tables{kType12Vga.Table(), kType12Qvga.Table()};
constexpr SizedTables kType11VariantATables{kType11VariantAVga.Table(), kType11VariantAQvga.Table()};
constexpr SizedTables kType11VariantBTables{kType11VariantBVga.Table(), kType11VariantBQvga.Table()};

const SizedTables* TablesForSensor(DWORD sensorType, DWORD sensorIdentifier) {
  switch (sensorType) {
    case kSensorType2: return &kType2Tables;
    case kSensorType12: return &kType12Tables;
    case kSensorType11:
      return IsType11VariantAIdentifier(sensorIdentifier) ? &kType11VariantATables : &kType11VariantBTables;
    default: return nullptr;
  }
}

}  // namespace

const RegisterEntry* StartupTable(DWORD sensorType, DWORD sensorIdentifier, DWORD sizeIndex) {
  const SizedTables* tables = TablesForSensor(sensorType, sensorIdentifier);
  if (tables == nullptr) return nullptr;
  if (sizeIndex == VLM_SIZE_640X480) return tables->vga;
  if (sizeIndex == VLM_SIZE_320X240) return tables->qvga;
  return nullptr;
}
