; The e2e-... helpers as GIMP 2.10 does them (prelude-gimp3.scm has the
; same names for GIMP 3.0).

; A new image of the given base type (RGB or GRAY) with one white layer
; "Background", at 72 dpi; returns (image layer).
(define (e2e-new-image width height type)
  (let* ((image (car (gimp-image-new width height type)))
         (layer (car (gimp-layer-new image width height
                                     (if (= type GRAY) GRAY-IMAGE RGB-IMAGE)
                                     "Background" 100 LAYER-MODE-NORMAL))))
    (gimp-image-set-resolution image 72 72)
    (gimp-image-insert-layer image layer 0 0)
    (gimp-context-set-background '(255 255 255))
    (gimp-drawable-fill layer FILL-BACKGROUND)
    (list image layer)))

(define (e2e-layer-ids image)
  (vector->list (cadr (gimp-image-get-layers image))))

(define (e2e-item-ids-in parent)
  (vector->list (cadr (gimp-item-get-children parent))))

(define (e2e-new-layer image width height type name)
  (car (gimp-layer-new image width height type name 100 LAYER-MODE-NORMAL)))

(define (e2e-channel-count image)
  (car (gimp-image-get-channels image)))

(define (e2e-drawable-size drawable)
  (list (car (gimp-drawable-width drawable)) (car (gimp-drawable-height drawable))))

(define (e2e-drawable-offsets drawable)
  (gimp-drawable-offsets drawable))

; The active layer, or -1.
(define (e2e-active-layer image)
  (car (gimp-image-get-active-layer image)))

(define (e2e-set-active-layer image layer)
  (gimp-image-set-active-layer image layer))

(define (e2e-zipstroke mode image drawable)
  (plugin-zipstroke mode image drawable))

; Exports one layer (not the composite) as PNG into the work folder, keeping
; the colour of transparent pixels.
(define (e2e-export image layer name)
  (let ((path (string-append e2e-dir name)))
    (file-png-save2 RUN-NONINTERACTIVE image layer path path 0 9 0 0 0 0 0 0 1)))

(define (e2e-load path)
  (car (gimp-file-load RUN-NONINTERACTIVE path path)))

(define (e2e-save-xcf image path)
  (gimp-xcf-save RUN-NONINTERACTIVE image (car (e2e-layer-ids image)) path path))

(define (e2e-proc-exists name)
  (car (gimp-procedural-db-proc-exists name)))

(define (e2e-item-parent image item)
  (car (gimp-item-get-parent item)))

(define (e2e-parasite-text item)
  (let ((found (e2e-try (lambda () (gimp-item-get-parasite item "plugin-zipstroke")))))
    (if (e2e-error? found) #f (caddr (car found)))))

(define (e2e-attach-parasite item name text)
  (gimp-item-attach-parasite item (list name 1 text)))

(define (e2e-new-group image name)
  (let ((group (car (gimp-layer-group-new image))))
    (gimp-item-set-name group name)
    group))

(define (e2e-new-channel image width height name opacity colour)
  (car (gimp-channel-new image width height name opacity colour)))

(define (e2e-set-active-channel image channel)
  (gimp-image-set-active-channel image channel))

(define (e2e-base-type image)
  (car (gimp-image-base-type image)))

(define (e2e-last-values-size)
  (let ((size (e2e-try (lambda () (gimp-procedural-db-get-data-size "plugin-zipstroke")))))
    (if (e2e-error? size) 0 (car size))))


; Run after each case's text: GEGL warns at GIMP's end about the tiles of
; images a script left without a display, so those go (the call leaves
; shown images).
(define (e2e-finish)
  (for-each (lambda (image) (e2e-try (lambda () (gimp-image-delete image))))
            (vector->list (cadr (gimp-image-list)))))
