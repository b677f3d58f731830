; The e2e-... helpers that differ in GIMP 3.0: its procedures return arrays
; without a count, take the layer name before the size, export whole images,
; and select several layers where 2.10 had one active layer.

; A new image of the given base type (RGB or GRAY) with one white layer
; "Background", at 72 dpi; returns (image layer).
(define (e2e-new-image width height type)
  (let* ((image (car (gimp-image-new width height type)))
         (layer (car (gimp-layer-new image "Background" width height
                                     (if (= type GRAY) GRAY-IMAGE RGB-IMAGE)
                                     100 LAYER-MODE-NORMAL))))
    (gimp-image-set-resolution image 72 72)
    (gimp-image-insert-layer image layer 0 0)
    (gimp-context-set-background '(255 255 255))
    (gimp-drawable-fill layer FILL-BACKGROUND)
    (list image layer)))

(define (e2e-new-layer image width height type name)
  (car (gimp-layer-new image name width height type 100 LAYER-MODE-NORMAL)))

(define (e2e-layer-ids image)
  (vector->list (car (gimp-image-get-layers image))))

(define (e2e-item-ids-in parent)
  (vector->list (car (gimp-item-get-children parent))))

(define (e2e-channel-count image)
  (vector-length (car (gimp-image-get-channels image))))

(define (e2e-drawable-size drawable)
  (list (car (gimp-drawable-get-width drawable)) (car (gimp-drawable-get-height drawable))))

(define (e2e-drawable-offsets drawable)
  (gimp-drawable-get-offsets drawable))

; The one selected layer, or -1.
(define (e2e-active-layer image)
  (let ((layers (car (gimp-image-get-selected-layers image))))
    (if (= (vector-length layers) 1) (vector-ref layers 0) -1)))

(define (e2e-set-active-layer image layer)
  (gimp-image-set-selected-layers image (vector layer)))

; The filter on one drawable (the procedure takes the selected drawables).
(define (e2e-zipstroke mode image drawable)
  (plugin-zipstroke #:run-mode mode #:image image #:drawables (vector drawable)))

; Exports one layer (not the composite) as PNG into the work folder, keeping
; the colour of transparent pixels: GIMP 3 exports whole images, so the layer
; goes alone into an image of its own size.
(define (e2e-export image layer name)
  (let* ((path (string-append e2e-dir name))
         (size (e2e-drawable-size layer))
         (copy (car (gimp-image-new (car size) (cadr size) (car (gimp-image-get-base-type image)))))
         (dup (car (gimp-layer-new-from-drawable layer copy))))
    (gimp-image-insert-layer copy dup 0 0)
    (gimp-layer-set-offsets dup 0 0)
    (file-png-export #:run-mode RUN-NONINTERACTIVE #:image copy #:file path
                     #:compression 9 #:bkgd FALSE #:offs FALSE #:phys FALSE #:time FALSE
                     #:save-transparent TRUE #:include-exif FALSE #:include-iptc FALSE
                     #:include-xmp FALSE #:include-color-profile FALSE
                     #:include-thumbnail FALSE #:include-comment FALSE)
    (gimp-image-delete copy)))

(define (e2e-load path)
  (car (gimp-file-load RUN-NONINTERACTIVE path)))

(define (e2e-save-xcf image path)
  (gimp-xcf-save RUN-NONINTERACTIVE image path))

(define (e2e-proc-exists name)
  (if (defined? (string->symbol name)) 1 0))

; The group holding item, or -1 at the top level (asking GIMP for the parent
; of a top-level item makes Script-Fu log a warning).
(define (e2e-item-parent image item)
  (let search ((groups (e2e-layer-ids image)))
    (cond ((null? groups) -1)
          ((and (= (car (gimp-item-is-group (car groups))) 1)
                (memv item (e2e-item-ids-in (car groups))))
           (car groups))
          (else (search (cdr groups))))))

(define (e2e-parasite-text item)
  (let ((found (e2e-try (lambda () (gimp-item-get-parasite item "plugin-zipstroke")))))
    (if (or (e2e-error? found) (null? found) (not (pair? (car found)))) #f (caddr (car found)))))

(define (e2e-attach-parasite item name text)
  (gimp-item-attach-parasite item (list name 1 text)))

; The filter keeps its last values in GIMP 3 as a global parasite; a script
; sees only whether it is there (1) or not (0), not its size.
(define (e2e-last-values-size)
  (let ((names (car (gimp-get-parasite-list))))
    (if (member "plugin-zipstroke" (if (vector? names) (vector->list names) names)) 1 0)))

(define (e2e-new-group image name)
  (car (gimp-group-layer-new image name)))

(define (e2e-new-channel image width height name opacity colour)
  (car (gimp-channel-new image name width height opacity colour)))

(define (e2e-set-active-channel image channel)
  (gimp-image-set-selected-channels image (vector channel)))

(define (e2e-base-type image)
  (car (gimp-image-get-base-type image)))

; Run after each case's text: GIMP 3 logs a critical at quit for an image a
; script left without a display, so those go (the call leaves shown images).
(define (e2e-finish)
  (for-each (lambda (image) (e2e-try (lambda () (gimp-image-delete image))))
            (vector->list (car (gimp-get-images)))))
