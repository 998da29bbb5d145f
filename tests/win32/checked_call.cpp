#include "tests/win32/checked_call.h"

#include <vector>

namespace {

struct Registers {
  uint32_t ebx, esi, edi;
};

constexpr Registers kSentinels{0x5EB15EB1u, 0xE51E51E5u, 0xED1ED1EDu};

}  // namespace

// int32_t __cdecl CallWithFrame(const void* function, const uint32_t* args, int32_t count,
//                               Registers* registers, int32_t* stackLeft)
// Loads *registers into EBX, ESI and EDI, pushes args[count-1] ... args[0], calls, then
// stores the registers as they came back and how far the stack pointer stayed below
// where it was before the pushes.
extern "C" int32_t CallWithFrame(const void*, const uint32_t*, int32_t, Registers*, int32_t*);
asm(R"(
    .text
    .globl _CallWithFrame
_CallWithFrame:
    pushl %ebp
    movl  %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl  $4, %esp
    movl  %esp, -16(%ebp)
    movl  12(%ebp), %edx
    movl  16(%ebp), %ecx
1:  testl %ecx, %ecx
    jz    2f
    decl  %ecx
    pushl (%edx,%ecx,4)
    jmp   1b
2:  movl  20(%ebp), %eax
    movl  (%eax), %ebx
    movl  4(%eax), %esi
    movl  8(%eax), %edi
    movl  8(%ebp), %eax
    call  *%eax
    movl  20(%ebp), %ecx
    movl  %ebx, (%ecx)
    movl  %esi, 4(%ecx)
    movl  %edi, 8(%ecx)
    movl  -16(%ebp), %edx
    subl  %esp, %edx
    movl  24(%ebp), %ecx
    movl  %edx, (%ecx)
    leal  -12(%ebp), %esp
    popl  %edi
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret
)");

int32_t CallChecked(const void* function, std::initializer_list<uint32_t> args,
                    CallRecord& record) {
  std::vector<uint32_t> slots(args);
  Registers registers = kSentinels;
  int32_t result = CallWithFrame(function, slots.data(), static_cast<int32_t>(slots.size()),
                                 &registers, &record.stackLeft);
  record.registersKept = registers.ebx == kSentinels.ebx && registers.esi == kSentinels.esi &&
                         registers.edi == kSentinels.edi;
  return result;
}
