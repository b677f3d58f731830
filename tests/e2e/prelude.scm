; Helpers for the end-to-end cases.  The runner defines e2e-dir (the case's
; work folder, with a trailing slash) before this file's text, and adds the
; version's own helpers after it (prelude-gimp2.scm or prelude-gimp3.scm:
; the same e2e-... names over each GIMP's procedures).  Cases call those
; helpers wherever the versions differ.  Results go to
; e2e-dir/results.txt, one "key value" line each, rewritten whole on every
; put so that whatever was reached survives a later failure.

(define e2e-lines '())

(define (e2e-write-all)
  (let ((port (open-output-file (string-append e2e-dir "results.txt"))))
    (for-each (lambda (line) (display line port) (newline port)) (reverse e2e-lines))
    (close-output-port port)))

; Lists among the values are written flat, separated by spaces.
(define (e2e-put key . values)
  (let ((port (open-output-string)))
    (display key port)
    (let show ((vs values))
      (cond ((null? vs) #t)
            ((pair? (car vs)) (show (append (car vs) (cdr vs))))
            (else (display " " port) (display (car vs) port) (show (cdr vs)))))
    (set! e2e-lines (cons (get-output-string port) e2e-lines))
    (e2e-write-all)))

; Runs thunk; on a Scheme error returns (error message ...) instead.
(define (e2e-try thunk)
  (call/cc
    (lambda (k)
      (let ((old *error-hook*))
        (set! *error-hook*
              (lambda args (set! *error-hook* old) (k (cons 'error args))))
        (let ((result (thunk)))
          (set! *error-hook* old)
          result)))))

(define (e2e-error? value)
  (and (pair? value) (eq? (car value) 'error)))

; Writes the facts of a layer under prefix: name, size, offsets, type,
; parent, position.
(define (e2e-layer-facts prefix image layer)
  (e2e-put (string-append prefix ".name") (car (gimp-item-get-name layer)))
  (e2e-put (string-append prefix ".size") (e2e-drawable-size layer))
  (let ((offsets (e2e-drawable-offsets layer)))
    (e2e-put (string-append prefix ".offsets") (car offsets) (cadr offsets)))
  (e2e-put (string-append prefix ".type") (car (gimp-drawable-type layer)))
  (e2e-put (string-append prefix ".parent") (e2e-item-parent image layer))
  (e2e-put (string-append prefix ".position")
           (car (gimp-image-get-item-position image layer))))

; The layers of image that are not in the list before.
(define (e2e-new-layers image before)
  (let loop ((ids (e2e-layer-ids image)) (acc '()))
    (cond ((null? ids) (reverse acc))
          ((memv (car ids) before) (loop (cdr ids) acc))
          (else (loop (cdr ids) (cons (car ids) acc))))))

(define (e2e-selection image)
  (gimp-selection-bounds image))

; Writes text to a file of its own in the work folder (for texts that span
; lines, such as settings text).
(define (e2e-save-text name text)
  (let ((port (open-output-file (string-append e2e-dir name))))
    (display text port)
    (close-output-port port)))
