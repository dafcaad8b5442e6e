// The stack-checking call, written in assembly so that no compiler-generated epilogue can restore the
// stack pointer from a frame pointer and hide what the callee did.
#include "StackCheckedCall.h"

// Stack layout on entry after the four pushes: 20(%esp) entry, 24(%esp) request, 28(%esp) report.
// The stack pointer is saved in memory rather than in a callee-saved register, because a callee that
// breaks the convention may not preserve that register either.
asm(R"(
    .text
    .globl _CallWithStackCheck
    .def _CallWithStackCheck; .scl 2; .type 32; .endef
_CallWithStackCheck:
    pushl %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 20(%esp), %eax
    movl 24(%esp), %ecx
    movl %esp, StackBeforeCall
    movl $0x5EED0001, %ebx
    movl $0x5EED0002, %esi
    movl $0x5EED0003, %edi
    movl $0x5EED0004, %ebp
    pushl %ecx
    call *%eax
    movl %esp, %ecx
    subl StackBeforeCall, %ecx
    movl StackBeforeCall, %esp
    xorl %edx, %edx
    cmpl $0x5EED0001, %ebx
    je 1f
    orl $1, %edx
1:  cmpl $0x5EED0002, %esi
    je 2f
    orl $2, %edx
2:  cmpl $0x5EED0003, %edi
    je 3f
    orl $4, %edx
3:  cmpl $0x5EED0004, %ebp
    je 4f
    orl $8, %edx
4:  movl 28(%esp), %ebx
    movl %ecx, (%ebx)
    movl %edx, 4(%ebx)
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
    .lcomm StackBeforeCall, 4, 4
)");
