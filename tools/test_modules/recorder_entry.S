/* doHandle of the recording test module, written out so that it takes its
   arguments exactly where the protection module interface puts them: the
   handoff integer in EAX, the payload address in EDX, nothing but the return
   address on the stack. It keeps EBX, ESI, EDI and EBP for its caller, leaves
   garbage in EAX, ECX and EDX on purpose, and returns with a plain ret. */
        .text
        .globl  _doHandle
        .def    _doHandle; .scl 2; .type 32; .endef
_doHandle:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   %ebx
        pushl   %esi
        pushl   %edi
        leal    4(%ebp), %ecx           /* ESP as it was at entry */
        pushl   %ecx
        pushl   %edx                    /* payload address */
        pushl   %eax                    /* handoff integer */
        call    _RecordHandoff          /* cdecl: keeps EBX, ESI, EDI, EBP */
        addl    $12, %esp
        /* Trash what a register-convention callee may trash, and the saved
           registers too, then restore those: a caller relying on EAX, ECX or
           EDX surviving the call sees the garbage. */
        movl    $0xDEADBEEF, %eax
        movl    $0xBAADF00D, %ecx
        movl    $0x0BADC0DE, %edx
        movl    %eax, %ebx
        movl    %ecx, %esi
        movl    %edx, %edi
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        ret
