// int camcab_RunGuarded(void (*call)(void*), void* context)
//
// Calls `call(context)` inside one guarded scope, the form MSVC gives __try/__except: the
// function's exception handler is the C runtime's __C_specific_handler, and its scope table
// names the call, the filter camcab_ContainedCallFilter and the landing below. When the
// filter takes an exception, the system unwinds every frame above this one (running their
// own unwind handlers) and resumes at the landing, which answers 1. GCC cannot write such a
// scope in C++, hence this file.
    .text
    .globl camcab_RunGuarded
    .def camcab_RunGuarded; .scl 2; .type 32; .endef
    .seh_proc camcab_RunGuarded
camcab_RunGuarded:
    pushq %rbp
    .seh_pushreg %rbp
    movq %rsp, %rbp
    .seh_setframe %rbp, 0
    subq $32, %rsp
    .seh_stackalloc 32
    .seh_endprologue
    movq %rcx, %rax
    movq %rdx, %rcx
.Lguarded_begin:
    callq *%rax
    nop
.Lguarded_end:
    xorl %eax, %eax
    jmp .Lreturn
.Llanding:
    movl $1, %eax
.Lreturn:
    movq %rbp, %rsp
    popq %rbp
    ret
    .seh_handler __C_specific_handler, @except
    .seh_handlerdata
    .long 1
    .rva .Lguarded_begin, .Lguarded_end, camcab_ContainedCallFilter, .Llanding
    .text
    .seh_endproc
