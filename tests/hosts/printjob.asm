; A DOS host program that prints one job into its job file through DOS file calls,
; as the host programs do: it waits until the job path is free (the service has
; taken the previous job), creates the file, writes the job in PARTS parts with a
; pause of PAUSE timer ticks between them, keeps the file open HOLD ticks after the
; last write, closes it and ends. A tick is 1/18.2 s (the BIOS count at 0040:006C).
;
;   nasm -f bin -DJOBPATH='"C:\TALVERA\WNYOMTAT.TXT"' -DJOBDATA='"job.bin"' \
;        -DPARTS=3 -DPAUSE=55 -DHOLD=0 -o PRINTJOB.COM printjob.asm
;
; Exit code 0 when the job was written and closed, 1 when a file call failed,
; 2 when the job path never became free (about a minute).
bits 16
org 100h

%ifndef PARTS
%define PARTS 1
%endif
%ifndef PAUSE
%define PAUSE 0
%endif
%ifndef HOLD
%define HOLD 0
%endif

joblen  equ job_end - job
partlen equ (joblen + PARTS - 1) / PARTS

start:
        mov     di, 1092                ; a minute of ticks for the path to free
.busy:  mov     ax, 3D00h               ; open for reading: does the job exist?
        mov     dx, path
        int     21h
        jc      .free
        mov     bx, ax
        mov     ah, 3Eh
        int     21h
        mov     cx, 4
        call    wait_ticks
        sub     di, 4
        ja      .busy
        mov     ax, 4C02h
        int     21h

.free:  mov     ah, 3Ch                 ; create
        xor     cx, cx
        mov     dx, path
        int     21h
        jc      fail
        mov     [handle], ax

        mov     dx, job
        mov     bp, joblen
.part:  mov     cx, partlen
        cmp     cx, bp
        jbe     .write
        mov     cx, bp
.write: push    cx
        push    dx
        mov     bx, [handle]
        mov     ah, 40h                 ; write CX bytes from DS:DX
        int     21h
        pop     dx
        pop     cx
        jc      fail
        add     dx, cx
        sub     bp, cx
        jz      .written
        mov     cx, PAUSE
        call    wait_ticks
        jmp     .part

.written:
        mov     cx, HOLD
        call    wait_ticks
        mov     bx, [handle]
        mov     ah, 3Eh                 ; close
        int     21h
        jc      fail
        mov     ax, 4C00h
        int     21h

fail:   mov     ax, 4C01h
        int     21h

; Waits CX timer ticks.
wait_ticks:
        jcxz    .done
        push    es
        mov     ax, 40h
        mov     es, ax
.tick:  mov     ax, [es:6Ch]
.same:  sti
        hlt                             ; idle until the next interrupt
        cmp     ax, [es:6Ch]
        je      .same
        loop    .tick
        pop     es
.done:  ret

handle: dw      0
path:   db      JOBPATH, 0
job:    incbin  JOBDATA
job_end:
